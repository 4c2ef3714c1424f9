// The layers list's contextual menu, opened by a right click on a row of
// the real window's list: what each item is enabled for, and Crop cutting
// only the layers under the click to the rectangle selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

#include "SelectionSupport.h"
#include "TestSupport.h"
#include "appkit/MenuItem.h"
#include "appkit/Window.h"
#include "graphics/CGImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "tools/IMCropMarkerTool.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMWindowController.h"

using seltest::colorAt;
using seltest::flatten;

namespace {

const QRectF kCrop(40, 10, 260, 200);
const QStringList kItems = {"Copy", "Cut", "Delete", "Crop"};

void selectRectangle(ToolWindow& w, const QRectF& rect) {
  ASSERT_TRUE(w.tools()->selectToolOfClass<IMCropMarkerTool>());
  w.press(rect.topLeft());
  w.drag(rect.bottomRight());
  w.release(rect.bottomRight());
  ASSERT_EQ(w.tools()->selectedRect(), rect);
}

// Right-clicks the list at `row` (-1: below the rows) and returns the menu
// it opened.
QMenu* rightClick(ToolWindow& w, int row) {
  IMTableView* table = w.layers()->tableView();
  const QRect last = table->rectOfRow(table->numberOfRows() - 1);
  const QPoint at =
      row >= 0 ? table->rectOfRow(row).center() : QPoint(last.center().x(), last.bottom() + 20);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, table->viewport()->mapToGlobal(at));
  QApplication::sendEvent(table->viewport(), &event);
  return table->contextMenu();
}

ui::MenuItem* item(QMenu* menu, const QString& title) {
  for (QAction* action : menu->actions())
    if (action->text() == title) return dynamic_cast<ui::MenuItem*>(action);
  return nullptr;
}

QSize pixelSize(Layer* layer) {
  gfx::ImagePtr image = layer->image() ? layer->image()->nsImage() : nullptr;
  gfx::CGImagePtr pixels = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  return pixels ? QSize(int(pixels->width()), int(pixels->height())) : QSize();
}

}  // namespace

// Every item needs a row under the click; Crop a rectangle to crop to; Cut
// and Delete, with a canvas selection, a visible bitmap layer selected to
// erase from. A command on no row changes nothing.
TEST(LayersContextMenu, ItemsAreEnabledByWhatTheyCanActOn) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  struct Case {
    const char* name;
    bool rectangle;
    bool selectedHidden;
    int clickedRow;
    QList<bool> enabled;  // Copy, Cut, Delete, Crop
  };
  const Case cases[] = {
      {"a row, no selection", false, false, 1, {true, true, true, false}},
      {"a row, a rectangle", true, false, 1, {true, true, true, true}},
      {"a row, a rectangle, hidden layer selected", true, true, 1, {true, false, false, true}},
      {"below the rows", true, false, -1, {false, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.tools()->deselect();
    if (c.rectangle) selectRectangle(w, kCrop);
    w.layerNamed("Bar")->setVisible(!c.selectedHidden);
    w.layers()->setSelectionIndexes(fnd::IndexSet::range(0, 1));
    QMenu* menu = rightClick(w, c.clickedRow);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->isVisible());
    for (int i = 0; i < kItems.size(); ++i) {
      ui::MenuItem* menuItem = item(menu, kItems[i]);
      ASSERT_TRUE(menuItem) << kItems[i].toStdString();
      EXPECT_EQ(menuItem->isEnabled(), c.enabled[i]) << kItems[i].toStdString();
    }
    if (c.clickedRow < 0) tst::saveArtifactImage(menu->grab().toImage(), "layers-menu-no-row.png");
    if (c.clickedRow >= 0 && c.rectangle && !c.selectedHidden) {
      tst::saveArtifactImage(w.window->window()->grab().toImage(), "layers-menu-window.png");
      tst::saveArtifactImage(menu->grab().toImage(), "layers-menu.png");
    }
    menu->close();
  }
  // Sent anyway, the commands on no row leave every layer where it was.
  w.tools()->deselect();
  rightClick(w, -1)->close();
  for (const char* action : {"removeFromContextualMenuItem:", "cutFromContextualMenu:"})
    EXPECT_TRUE(w.layers()->tryToPerform(action, nullptr));
  EXPECT_EQ(w.layerNames(), QStringList({"Bar", "Sun", "Ground"}));
}

// Crop from the menu of an unselected row cuts that layer alone to the
// rectangle: the selected layer and the others keep their pixels.
TEST(LayersContextMenu, CropCutsOnlyTheLayersUnderTheClick) {
  ToolWindow w;
  ASSERT_TRUE(w.isOpen());
  selectRectangle(w, kCrop);
  w.layers()->setSelectionIndexes(fnd::IndexSet::range(0, 1));
  QMenu* menu = rightClick(w, 2);
  ASSERT_TRUE(menu && item(menu, "Crop") && item(menu, "Crop")->isEnabled());
  item(menu, "Crop")->trigger();
  menu->close();
  tst::spinOnce();

  Layer* ground = w.layerNamed("Ground");
  ASSERT_TRUE(ground);
  EXPECT_EQ(ground->origin(), kCrop.topLeft());
  EXPECT_EQ(pixelSize(ground), QSize(260, 200));
  EXPECT_EQ(w.layerNamed("Bar")->origin(), QPointF(50, 20));
  EXPECT_EQ(pixelSize(w.layerNamed("Bar")), QSize(300, 40));
  EXPECT_EQ(pixelSize(w.layerNamed("Sun")), QSize(120, 120));
  const QImage after = flatten(w);
  EXPECT_EQ(colorAt(after, 20, 100).alpha(), 0) << "the ground is gone left of the rectangle";
  EXPECT_EQ(colorAt(after, 100, 100), seltest::kGround) << "and kept inside it";
  EXPECT_EQ(colorAt(after, 330, 40), QColor(30, 60, 220)) << "the bar, outside, is whole";
  EXPECT_EQ(colorAt(after, 320, 250), QColor(230, 40, 30)) << "and the sun too";
  EXPECT_FALSE(w.tools()->hasSelection());
}
