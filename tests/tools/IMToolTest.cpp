// The tool base's class methods and defaults without a window: the Shift
// angle constraint, the chooser image with its triangle, the default logo
// following Option, and the hook values of the tool table.
#include <gtest/gtest.h>

#include <cmath>

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"
#include "tools/IMToolsController.h"

namespace {

QPointF at(double degrees, double length) {
  const double r = degrees * M_PI / 180;
  return {100 + length * std::cos(r), 50 + length * std::sin(r)};
}

}  // namespace

TEST(IMTool, ShiftSnapsToEightOrFourDirections) {
  const QPointF start(100, 50);
  // 30° snaps to 45°: the step along x is projected onto the diagonal.
  const double diagonal = 100 * std::cos(M_PI / 12) * std::cos(M_PI / 4);
  struct Case {
    QPointF end;
    bool onlyPi4;
    QPointF expected;
  };
  const Case cases[] = {
      {at(30, 100), false, {100 + diagonal, 50 + diagonal}},
      {at(20, 100), false, {at(20, 100).x(), 50}},
      {at(80, 100), false, {100, at(80, 100).y()}},
      {at(-80, 100), false, {100, at(-80, 100).y()}},
      {at(200, 100), false, {at(200, 100).x(), 50}},
      {{100, 90}, true, {100, 50}},
      {{100, 90}, false, {100, 90}},
      {{100, 10}, false, {100, 10}},
  };
  for (const Case& c : cases) {
    const QPointF got = IMTool::modifiedPointFromPoint(start, c.end, c.onlyPi4, ui::ShiftKeyMask);
    EXPECT_NEAR(got.x(), c.expected.x(), 1e-9) << c.end.x() << "," << c.end.y();
    EXPECT_NEAR(got.y(), c.expected.y(), 1e-9) << c.end.x() << "," << c.end.y();
  }
  EXPECT_EQ(IMTool::modifiedPointFromPoint(start, at(30, 100), false, 0), at(30, 100));
}

TEST(IMTool, TriangleImageAndDefaultLogo) {
  const gfx::ImagePtr logo = IMToolImages::imageNamed("lineToolTemplate");
  ASSERT_TRUE(logo);
  const gfx::ImagePtr composed = IMTool::composeTriangleWithLogo(logo);
  EXPECT_EQ(composed->size(), QSizeF(32, 22));
  const QImage pixels = IMToolImages::pixelsOf(composed);
  const double scale = pixels.width() / 32.0;
  // Inside the triangle (y up: its base at 13, apex at 8), and outside it.
  const QColor inside = pixels.pixelColor(int(27.5 * scale), int((22 - 11.5) * scale));
  EXPECT_EQ(inside.alpha(), 255);
  EXPECT_LT(inside.value(), 30);
  EXPECT_EQ(pixels.pixelColor(int(30 * scale), int((22 - 18) * scale)).alpha(), 0);
  // The logo sits at the top left.
  int ink = 0;
  for (int y = 0; y < int(20 * scale); ++y)
    for (int x = 0; x < int(20 * scale); ++x) ink += pixels.pixelColor(x, y).alpha() > 128;
  EXPECT_GT(ink, 20);

  // A tool without its own logo shows its cursor, following Option.
  IMTool plain(nullptr);
  EXPECT_EQ(plain.logo()->size(), QSizeF(16, 16));
  EXPECT_EQ(plain.nameKey(), "Generic Tool");
  EXPECT_EQ(plain.modifierFlags(), 0u);
  for (const QString& name : IMToolImages::names()) EXPECT_TRUE(IMToolImages::imageNamed(name));
}

TEST(IMTool, HookValuesOfTheToolTable) {
  IMToolsController controller;
  controller.prepareTools();
  const auto& tools = controller.tools();
  ASSERT_EQ(tools.size(), 13u);
  struct Row {
    const char* name;
    unsigned level;
    bool autoScroll, edit, size, color1, color2, temp;
  };
  const Row rows[] = {
      {"Drag Tool", 2, true, true, false, false, false, false},
      {"Brush Tool", 2, false, true, true, true, false, false},
      {"Tampon", 2, false, true, true, false, false, false},
      {"Shape Tool", 2, true, true, true, true, false, true},
      {"Eraser Tool", 2, false, true, true, false, false, false},
      {"BackGround Eraser", 3, true, true, false, false, false, false},
      {"Gradient Tools", 2, true, true, false, true, true, true},
      {"Text Tool", 2, false, true, false, true, false, false},
      {"Filter Tool", 3, true, true, false, false, false, false},
      {"Color Picker", 2, false, false, false, true, true, false},
      {"Selection Tool", 2, true, false, false, true, false, false},
      {"Lasso Tool", 2, true, false, false, true, false, false},
      {"Zoom Tool", 1, false, false, false, false, false, false},
  };
  for (size_t i = 0; i < 13; ++i) {
    const IMTool& tool = *tools[i];
    const Row& row = rows[i];
    EXPECT_EQ(tool.nameKey(), row.name);
    EXPECT_EQ(tool.transformationLevel(), row.level) << row.name;
    EXPECT_EQ(tool.autoScroll(), row.autoScroll) << row.name;
    EXPECT_EQ(tool.isAnEditTool(), row.edit) << row.name;
    EXPECT_EQ(tool.isUsingSize(), row.size) << row.name;
    EXPECT_EQ(tool.isUsingColor1(), row.color1) << row.name;
    EXPECT_EQ(tool.isUsingColor2(), row.color2) << row.name;
    EXPECT_EQ(tool.shouldWorkOnATempLayer(), row.temp) << row.name;
    EXPECT_EQ(tool.isUsingRoundedRect(), i == 3) << row.name;
  }
}
