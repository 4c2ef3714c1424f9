// Undo through the document window, as a user edits layers: every edit the
// window offers is one undo step with its name in Edit › Undo and marks the
// document edited exactly while it differs from its file; undoing every
// step of a random sequence gives back the stored rows and pixels it started
// from, and redoing them those it ended with.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QSlider>
#include <QTextCursor>
#include <QTextEdit>
#include <functional>
#include <random>

#include "TestSupport.h"
#include "ThreeLayerDocument.h"
#include "appkit/Application.h"
#include "appkit/MenuItem.h"
#include "appkit/Popover.h"
#include "appkit/Window.h"
#include "appkit/core/Beep.h"
#include "coredata/EntityDescription.h"
#include "coredata/ManagedObjectContext.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UndoManager.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "model/Settings.h"
#include "model/TextLayer.h"
#include "window/IMLayerRowView.h"
#include "window/IMLayersArrayController.h"
#include "window/IMTableView.h"
#include "window/IMWindowController.h"
#include "window/LayerDetailsPopoverView.h"

namespace {

using wintest::openThroughController;

gfx::ImagePtr solid(int w, int h, QColor color) {
  QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
  pixels.fill(color);
  return gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
}

// A small document stored at `path`, top layer first: a bar, a text, a sun
// and the ground.
void storeDocument(const QString& path) {
  QFile::remove(path);
  IMDocument made;
  ASSERT_TRUE(made.initWithType(IMNativeDocumentType, nullptr));
  ComposedImage* image = made.composedImage();
  image->setSize({32, 24});
  cd::ManagedObjectContext* context = made.managedObjectContext();
  Layer* ground = image->layersArray().first();
  TextLayer* text = TextLayer::createLayerWithComposedImage(image, context, true);
  text->setAttributedString(gfx::AttributedString("Hi", gfx::Font(), QColor(250, 220, 0)));
  Layer* sun = Layer::createLayerWithComposedImage(image, context, true);
  Layer* bar = Layer::createLayerWithComposedImage(image, context, true);
  image->setLayersArray({bar, text, sun, ground});
  struct Content {
    Layer* layer;
    const char* name;
    QSize size;
    QPointF origin;
    QColor color;
  };
  const Content contents[] = {{bar, "Bar", {20, 4}, {6, 3}, QColor(30, 60, 220)},
                              {sun, "Sun", {8, 8}, {18, 12}, QColor(230, 40, 30)},
                              {ground, "Ground", {32, 24}, {0, 0}, QColor(40, 170, 70)}};
  for (const Content& c : contents) {
    c.layer->setName(c.name);
    c.layer->image()->setNsImage(solid(c.size.width(), c.size.height(), c.color));
    c.layer->setOrigin(c.origin);
  }
  bool done = false;
  made.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveOperation,
                 [&](const fnd::Error* error) {
                   EXPECT_FALSE(error);
                   done = true;
                 });
  ASSERT_TRUE(tst::spinUntil([&] { return done; }));
}

QString pixelsOf(Image* image) {
  if (!image) return QStringLiteral("no image");
  gfx::ImagePtr pixels = image->nsImage();
  if (!pixels) return QStringLiteral("empty");
  gfx::CGImagePtr bitmap = pixels->CGImageForProposedRect(nullptr, nullptr);
  if (!bitmap) return QStringLiteral("unrendered");
  const QImage bits = bitmap->toFormat(QImage::Format_ARGB32_Premultiplied);
  const QByteArray hash =
      QCryptographicHash::hash(QByteArrayView(bits.constBits(), bits.sizeInBytes()),
                               QCryptographicHash::Md5)
          .toHex()
          .left(12);
  return QStringLiteral("%1x%2 %3").arg(bits.width()).arg(bits.height()).arg(hash);
}

// What the store would hold: the canvas, every layer's stored values in
// order with its text and pixels, and how many objects of each entity live.
QString contentOf(ComposedImage* composed) {
  QStringList rows{QStringLiteral("canvas %1x%2").arg(composed->width()).arg(composed->height())};
  for (Layer* layer : composed->layersArray()) {
    QStringList row{layer->entity()->name()};
    for (const char* key : {"name", "xOrigin", "yOrigin", "rotationAngle", "alpha", "zoom",
                            "visible", "compositingOperation"})
      row.append(layer->valueForKey(key).toString());
    if (auto* text = dynamic_cast<TextLayer*>(layer))
      row.append("text " + text->attributedString().string());
    row.append(pixelsOf(layer->image()));
    rows.append(row.join(QLatin1Char('|')));
  }
  QMap<QString, int> live;
  for (cd::ManagedObject* object : composed->managedObjectContext()->registeredObjects())
    if (!object->isDeleted()) ++live[object->entity()->name()];
  for (auto it = live.cbegin(); it != live.cend(); ++it)
    rows.append(QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
  return rows.join(QLatin1Char('\n'));
}

// Undo and redo reload pixel versions from the image cache on the
// document's queue; the content is read once they are back.
bool imagesSettled(ComposedImage* composed) {
  return tst::spinUntil([&] {
    for (Layer* layer : composed->layersArray())
      if (layer->image() && !layer->image()->isCurrentVersionInMemory()) return false;
    return true;
  });
}

// The window of an opened document, with the edits a user makes in it.
struct Editor {
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  IMLayersArrayController* layers = nullptr;
  ui::MenuItem undoItem{QStringLiteral("Undo"), QStringLiteral("undo:")};
  fnd::NotificationCenter::ObserverToken stepToken = 0;
  int steps = 0;  // top-level undo groups closed with something in them

  explicit Editor(IMDocument* opened) : document(opened) {
    window = dynamic_cast<IMWindowController*>(document->windowController());
    layers = window->layersController();
    stepToken = fnd::NotificationCenter::defaultCenter().addObserverForName(
        fnd::UndoManagerDidCloseUndoGroupNotification, window->undoManager(), nullptr,
        [this](const fnd::Notification& n) {
          if (n.userInfo.value(fnd::UndoManagerGroupBecameUndoStepKey).toBool()) ++steps;
        });
  }
  ~Editor() { fnd::NotificationCenter::defaultCenter().removeObserver(stepToken); }

  ComposedImage* composed() const { return window->composedImage(); }
  QString content() const {
    EXPECT_TRUE(imagesSettled(composed()));
    return contentOf(composed());
  }
  QString undoTitle() {
    window->validateUserInterfaceItem(undoItem);
    return undoItem.text();
  }
  bool send(const char* action) {
    return ui::Application::sharedApplication()->sendAction(action, window);
  }
  void select(const QList<int>& rows) {
    layers->setSelectionIndexes(fnd::IndexSet::fromList(rows));
  }
  // The rest of the loop's pass after a user's event.
  void endEvent() { tst::spinOnce(); }

  void rename(int row, const QString& name) {
    auto* view = qobject_cast<IMLayerRowView*>(window->layersTable()->viewAtColumn(0, row));
    ASSERT_TRUE(view);
    view->nameField()->setText(name);
    emit view->nameField()->editingFinished();
  }
  // Double-clicks the row, edits its popover, closes it.
  void inDetails(int row, const std::function<void(QWidget*)>& edit) {
    select({row});
    layers->doubleClick(nullptr);
    ui::Popover* popover = layers->currentPopover();
    ASSERT_TRUE(popover);
    edit(popover);
    popover->performClose(nullptr);
    popover->deleteLater();
  }
  void setOpacity(int row, int percent) {
    inDetails(row, [&](QWidget* popover) {
      popover->findChild<LayerDetailsPopoverView*>()->opacitySlider()->setValue(percent);
    });
  }
  void toggleVisible(int row) {
    inDetails(row, [&](QWidget* popover) {
      popover->findChild<LayerDetailsPopoverView*>()->visibleBox()->toggle();
    });
  }
  void editText(int row, const QString& text) {
    inDetails(row, [&](QWidget*) {
      QTextEdit* view = layers->textView();
      ASSERT_TRUE(view);
      QTextCursor cursor = view->textCursor();
      cursor.select(QTextCursor::Document);
      cursor.insertText(text);
    });
  }
  bool save() {
    bool done = false, ok = false;
    document->saveToURL(document->fileURL(), IMNativeDocumentType, ui::SaveOperation,
                        [&](const fnd::Error* error) {
                          ok = !error;
                          done = true;
                        });
    return tst::spinUntil([&] { return done; }) && ok;
  }
};

// The content of the file as a fresh document reads it.
QString storedContent(const QString& path) {
  IMDocument stored;
  EXPECT_TRUE(stored.readFromURL(QUrl::fromLocalFile(path), IMNativeDocumentType, nullptr));
  return contentOf(stored.composedImage());
}

int envOr(const char* name, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok ? value : fallback;
}

// One random edit the window offers, valid for the layers as they are;
// returns the name Edit › Undo should show for it.
QString randomEdit(Editor& e, std::mt19937& rng, QString* log) {
  auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
  const QList<Layer*> all = e.layers->arrangedLayers();
  const int count = int(all.size());
  QList<int> bitmaps, visibleBitmaps, texts;
  for (int i = 0; i < count; ++i) {
    (all[i]->isText() ? texts : bitmaps).append(i);
    if (!all[i]->isText() && all[i]->visible()) visibleBitmaps.append(i);
  }
  for (;;) {
    switch (pick(9)) {
      case 0:
        e.select({pick(count)});
        *log += "add ";
        e.send("addNewLayer:");
        return "New Layer";
      case 1: {
        if (count < 2) break;
        const int row = pick(count);
        *log += QStringLiteral("delete %1 ").arg(row);
        e.select({row});
        e.send("deleteLayers:");
        return "Delete Layer";
      }
      case 2: {
        if (count < 2) break;
        QList<int> rows{pick(count)};
        while (rows.size() < 2 + (count > 2 ? pick(2) : 0))
          if (int row = pick(count); !rows.contains(row)) rows.append(row);
        std::sort(rows.begin(), rows.end());
        *log += "merge";
        for (int row : rows) *log += QStringLiteral(" %1").arg(row);
        *log += ' ';
        e.select(rows);
        e.send("merge:");
        return "Merge Layers";
      }
      case 3: {
        if (count < 2) break;
        const int row = pick(count);
        int target = pick(count + 1);
        if (target == row || target == row + 1) break;  // would move nothing
        *log += QStringLiteral("move %1>%2 ").arg(row).arg(target);
        e.layers->moveObjectsInArrangedObjectsFromIndexes(fnd::IndexSet(row), target);
        return "Move Layer";
      }
      case 4: {
        const int row = pick(count);
        const QString name = QStringLiteral("L%1").arg(pick(1000));
        if (all[row]->name() == name) break;
        *log += QStringLiteral("rename %1 ").arg(row);
        e.rename(row, name);
        return "Rename Layer";
      }
      case 5: {
        if (bitmaps.isEmpty()) break;
        const int row = bitmaps[pick(int(bitmaps.size()))];
        const int percent = pick(101);
        if (std::lround(all[row]->alpha() * 100) == percent) break;
        *log += QStringLiteral("opacity %1 ").arg(row);
        e.setOpacity(row, percent);
        return "Change Opacity";
      }
      case 6: {
        if (bitmaps.isEmpty()) break;
        const int row = bitmaps[pick(int(bitmaps.size()))];
        const bool showing = !all[row]->visible();
        *log += QStringLiteral("visible %1 ").arg(row);
        e.toggleVisible(row);
        return showing ? "Show Layer" : "Hide Layer";
      }
      case 7: {
        if (visibleBitmaps.isEmpty()) break;
        const int row = visibleBitmaps[pick(int(visibleBitmaps.size()))];
        *log += QStringLiteral("fill %1 ").arg(row);
        e.window->settings()->setColor1(QColor(pick(256), pick(256), pick(256)));
        e.select({row});
        e.send("fill:");
        return "Fill Layer";
      }
      case 8: {
        if (texts.isEmpty()) break;
        const int row = texts[pick(int(texts.size()))];
        const QString text = QStringLiteral("T%1").arg(pick(1000));
        if (dynamic_cast<TextLayer*>(all[row])->attributedString().string() == text) break;
        *log += QStringLiteral("text %1 ").arg(row);
        e.editText(row, text);
        return "Edit Text";
      }
    }
  }
}

}  // namespace

// Sequences of 1 to 4 random edits, each undone back to the start and redone
// to the end, with a save in the middle of some sequences. After every edit,
// undo and redo the content is the one recorded after that step, and the
// edited mark is set exactly while the document is not at the step it was
// saved at (so always when the content differs from the file's; two edits
// that cancel out, hiding and showing a layer, are still two edits).
// TESSALY_UNDO_SEQUENCES sets how many sequences run, TESSALY_UNDO_SEED the
// seed (else a fresh one, printed on failure).
TEST(LayerUndo, RandomEditSequencesUndoToTheStartAndRedoToTheEnd) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Random.zova");
  storeDocument(path);
  Editor e(openThroughController(path));
  ASSERT_TRUE(e.window);
  ASSERT_TRUE(imagesSettled(e.composed()));
  e.endEvent();
  int beeps = 0;
  ui::setBeepHandler([&] { ++beeps; });

  const int sequences = envOr("TESSALY_UNDO_SEQUENCES", 2000);
  const unsigned seed = unsigned(envOr("TESSALY_UNDO_SEED", int(std::random_device{}() >> 1)));
  std::mt19937 rng(seed);
  QString saved = e.content();
  ASSERT_EQ(saved, storedContent(path));
  ASSERT_FALSE(e.document->isDocumentEdited());
  int savedStep = 0, lastStep = 0;  // the steps are numbered as they are made

  for (int sequence = 0; sequence < sequences; ++sequence) {
    QString log;
    auto where = [&](const char* phase, int step) {
      return QStringLiteral("seed %1 (TESSALY_UNDO_SEED), sequence %2, %3 %4; edits: %5")
          .arg(seed)
          .arg(sequence)
          .arg(phase)
          .arg(step)
          .arg(log)
          .toStdString();
    };
    auto checkMark = [&](const QString& content, int at, const char* phase, int step) {
      ASSERT_EQ(e.document->isDocumentEdited(), at != savedStep) << where(phase, step);
      if (content != saved) {
        ASSERT_TRUE(e.document->isDocumentEdited()) << where(phase, step);
      }
    };
    const int length = 1 + int(rng() % 4);
    const int saveAfter = sequence % 50 == 49 ? int(rng() % length) : -1;
    QStringList states{e.content()};
    QList<int> numbers{lastStep};
    for (int step = 0; step < length; ++step) {
      const int stepsBefore = e.steps;
      const QString name = randomEdit(e, rng, &log);
      e.endEvent();
      states.append(e.content());
      numbers.append(++lastStep);
      ASSERT_EQ(beeps, 0) << where("edit refused", step);
      ASSERT_EQ(e.steps, stepsBefore + 1) << where("edit", step);
      ASSERT_NE(states.last(), states[step]) << where("edit", step);
      ASSERT_EQ(e.undoTitle(), "Undo " + name) << where("edit", step);
      checkMark(states.last(), lastStep, "edit", step);
      if (step == saveAfter) {
        ASSERT_TRUE(e.save()) << where("save", step);
        saved = states.last();
        savedStep = lastStep;
        e.endEvent();
        ASSERT_FALSE(e.document->isDocumentEdited()) << where("save", step);
        ASSERT_TRUE(storedContent(path) == saved) << where("stored", step);
      }
    }
    for (int step = length - 1; step >= 0; --step) {
      ASSERT_TRUE(e.send("undo:"));
      e.endEvent();
      const QString content = e.content();
      ASSERT_TRUE(content == states[step]) << where("undo to", step) << "\n"
                                           << content.toStdString() << "\n--- expected\n"
                                           << states[step].toStdString();
      checkMark(content, numbers[step], "undo to", step);
    }
    for (int step = 1; step <= length; ++step) {
      ASSERT_TRUE(e.send("redo:"));
      e.endEvent();
      const QString content = e.content();
      ASSERT_TRUE(content == states[step]) << where("redo to", step) << "\n"
                                           << content.toStdString() << "\n--- expected\n"
                                           << states[step].toStdString();
      checkMark(content, numbers[step], "redo to", step);
    }
    if (sequence % 20 == 19) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  ui::setBeepHandler(nullptr);
  e.document->close();
  tst::spinOnce();
}

// Renaming, opacity and visibility are steps of their own, named in the
// Edit menu; they mark the document (and its window title) until saved,
// and a drag of the opacity slider is one step.
TEST(LayerUndo, LayerEditsAreNamedStepsThatMarkTheDocumentUntilSaved) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Edits.zova");
  storeDocument(path);
  Editor e(openThroughController(path));
  ASSERT_TRUE(e.window);
  e.endEvent();
  const QString stored = e.content();
  ui::Window* window = e.window->window();

  e.select({0});
  e.send("addNewLayer:");
  e.endEvent();
  e.rename(0, "Moon");
  e.endEvent();
  EXPECT_EQ(e.undoTitle(), "Undo Rename Layer");
  EXPECT_TRUE(e.document->isDocumentEdited());
  EXPECT_TRUE(window->isWindowModified());
  e.send("undo:");
  e.endEvent();
  EXPECT_EQ(e.layers->objectsCount(), 5) << "the rename is not part of New Layer";
  EXPECT_EQ(e.layers->arrangedLayers().first()->name(), "untitled layer 1");
  EXPECT_EQ(e.undoTitle(), "Undo New Layer");
  e.send("undo:");
  e.endEvent();
  EXPECT_EQ(e.content(), stored);
  EXPECT_FALSE(e.document->isDocumentEdited());
  EXPECT_FALSE(window->isWindowModified());
  e.send("redo:");
  e.send("redo:");
  e.endEvent();
  EXPECT_EQ(e.layers->arrangedLayers().first()->name(), "Moon");

  e.setOpacity(1, 40);
  e.endEvent();
  EXPECT_EQ(e.undoTitle(), "Undo Change Opacity");
  e.toggleVisible(1);
  e.endEvent();
  EXPECT_EQ(e.undoTitle(), "Undo Hide Layer");
  e.inDetails(3, [&](QWidget* popover) {
    QSlider* slider = popover->findChild<LayerDetailsPopoverView*>()->opacitySlider();
    emit slider->sliderPressed();
    for (int percent : {90, 70, 50}) {
      slider->setValue(percent);
      e.endEvent();
    }
    emit slider->sliderReleased();
  });
  e.endEvent();
  EXPECT_EQ(e.undoTitle(), "Undo Change Opacity");
  e.send("undo:");
  e.endEvent();
  EXPECT_DOUBLE_EQ(e.layers->arrangedLayers()[3]->alpha(), 1.0) << "the drag is one step";
  e.send("redo:");
  e.endEvent();
  EXPECT_NEAR(e.layers->arrangedLayers()[3]->alpha(), 0.5, 1e-6);

  // One save leaves the document clean, with the edits in the file.
  const QString edited = e.content();
  ASSERT_TRUE(e.save());
  e.endEvent();
  EXPECT_FALSE(e.document->isDocumentEdited());
  EXPECT_FALSE(window->isWindowModified());
  EXPECT_EQ(storedContent(path), edited);
  e.send("undo:");
  e.endEvent();
  EXPECT_TRUE(e.document->isDocumentEdited()) << "the file holds the later state";
  e.send("redo:");
  e.endEvent();
  EXPECT_FALSE(e.document->isDocumentEdited());
  e.document->close();
  tst::spinOnce();
}

// Undo after a merge and a deletion takes back the deletion alone, showing
// the merged layer as the merge left it; the next undo takes back the merge.
TEST(LayerUndo, UndoAfterMergeThenDeleteGoesBackOneStepAtATime) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Merged.zova");
  storeDocument(path);
  Editor e(openThroughController(path));
  ASSERT_TRUE(e.window);
  e.endEvent();
  const QString stored = e.content();
  e.select({2, 3});
  e.send("merge:");
  e.endEvent();
  const QString merged = e.content();
  QStringList names;
  for (Layer* layer : e.layers->arrangedLayers()) names.append(layer->name());
  EXPECT_EQ(names, QStringList({"Bar", "Hi", "Sun + Ground"}));
  e.select({0});
  e.send("deleteLayers:");
  e.endEvent();
  EXPECT_EQ(e.undoTitle(), "Undo Delete Layer");
  e.send("undo:");
  e.endEvent();
  EXPECT_EQ(e.content(), merged);
  EXPECT_EQ(e.undoTitle(), "Undo Merge Layers");
  e.send("undo:");
  e.endEvent();
  EXPECT_EQ(e.content(), stored);
  EXPECT_FALSE(e.document->isDocumentEdited());
  e.document->close();
  tst::spinOnce();
}

// A reopened document numbers new layers after its default-named ones.
TEST(LayerUndo, NewLayersOfAReopenedDocumentGetUnusedNames) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QString path = tst::tempPath("Numbered.zova");
  {
    IMDocument made;
    ASSERT_TRUE(made.initWithType(IMNativeDocumentType, nullptr));
    ComposedImage* image = made.composedImage();
    Layer::createLayerWithComposedImage(image, made.managedObjectContext(), true);
    Layer* renamed = Layer::createLayerWithComposedImage(image, made.managedObjectContext(), true);
    renamed->setName("untitled layer 7");
    Layer::createLayerWithComposedImage(image, made.managedObjectContext(), true)
        ->setName("untitled layer 12b");
    ASSERT_TRUE(made.writeSafelyToURL(QUrl::fromLocalFile(path), IMNativeDocumentType,
                                      ui::SaveAsOperation, nullptr));
  }
  Editor e(openThroughController(path));
  ASSERT_TRUE(e.window);
  e.select({0});
  e.send("addNewLayer:");
  e.send("addNewLayer:");
  QStringList names;
  for (Layer* layer : e.layers->arrangedLayers()) names.append(layer->name());
  EXPECT_EQ(names, QStringList({"untitled layer 9", "untitled layer 8", "untitled layer 1",
                                "untitled layer 2", "untitled layer 7", "untitled layer 12b"}));
  e.document->close();
  tst::spinOnce();
}
