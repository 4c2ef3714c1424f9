// Fonts and attributed strings: metrics at one point per unit, attribute
// runs, bounding rectangles with line-fragment origin, and upright text in
// the y-up context.
#include <gtest/gtest.h>

#include "graphics/AttributedString.h"
#include "graphics/GraphicsContext.h"

using namespace gfx;

namespace {

struct Ink {
  int top = -1, bottom = -1, left = -1, right = -1;  // y-up pixel coordinates
  int widestRow = -1;
};

Ink inkOf(const GraphicsContext& context) {
  Ink ink;
  int widest = 0;
  for (int y = 0; y < context.pixelsHigh(); ++y) {
    int count = 0;
    for (int x = 0; x < context.pixelsWide(); ++x) {
      if (context.pixelColor(x, y).alpha() < 128) continue;
      ++count;
      if (ink.bottom < 0) ink.bottom = y;
      ink.top = y;
      ink.left = ink.left < 0 ? x : std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
    }
    if (count > widest) {
      widest = count;
      ink.widestRow = y;
    }
  }
  return ink;
}

}  // namespace

TEST(Font, MetricsAreInPoints) {
  Font font("DejaVu Sans", 100);
  EXPECT_EQ(font.familyName(), "DejaVu Sans");
  // DejaVu Sans: ascent 0.928 em, descent 0.236 em, cap height 0.729 em.
  EXPECT_NEAR(font.ascender(), 92.8, 1.5);
  EXPECT_NEAR(font.descender(), -23.6, 1.5);
  EXPECT_NEAR(font.capHeight(), 72.9, 1.5);
  EXPECT_NEAR(Font("DejaVu Sans", 50).widthOfString("HHHH"), font.widthOfString("HH"), 0.5);

  Font missing = Font::fontWithName("No Such Family Anywhere", 12);
  EXPECT_EQ(missing.fontName(), "No Such Family Anywhere");
  EXPECT_EQ(missing.familyName(), "DejaVu Sans");
  EXPECT_TRUE(Font::fontWithName("DejaVuSans-Bold", 12).isBold());
}

TEST(AttributedString, Runs) {
  AttributedString text("Hello world", Font("DejaVu Sans", 12), Qt::black);
  text.addAttribute(ForegroundColorAttributeName, QColor(Qt::red), 6, 5);
  int location = -1, length = -1;
  EXPECT_EQ(text.attribute(ForegroundColorAttributeName, 7).value<QColor>(), QColor(Qt::red));
  text.attributesAtIndex(2, &location, &length);
  EXPECT_EQ(location, 0);
  EXPECT_EQ(length, 6);
  text.addAttribute("IMCustom", 42, 0, 11);  // carried along untouched
  EXPECT_EQ(text.attribute("IMCustom", 10).toInt(), 42);
  text.replaceCharactersInRange(6, 5, "there, all");
  EXPECT_EQ(text.string(), "Hello there, all");
  EXPECT_EQ(text.attribute(ForegroundColorAttributeName, 15).value<QColor>(), QColor(Qt::red));
  text.removeAttribute(ForegroundColorAttributeName, 0, text.length());
  text.addAttribute(ForegroundColorAttributeName, QColor(Qt::black), 0, text.length());
  EXPECT_EQ(text.runs().size(), 1);  // equal neighbours merge

  AttributedString tail(" again", Font("DejaVu Sans", 20));
  text.appendAttributedString(tail);
  EXPECT_EQ(fontOfAttributes(text.attributesAtIndex(text.length() - 1)).pointSize(), 20);
}

TEST(AttributedString, BoundingRectWithLineFragmentOrigin) {
  Font font("DejaVu Sans", 20);
  AttributedString text("one two three four five six seven", font);
  QSizeF single = text.size();
  double lineHeight = font.ascender() - font.descender();
  EXPECT_NEAR(single.height(), lineHeight, 2);
  EXPECT_NEAR(single.width(), font.widthOfString(text.string()), 1);

  const struct {
    double width;
    int minLines, maxLines;
  } table[] = {{0, 1, 1}, {10000, 1, 1}, {single.width() / 2 + 20, 2, 3}, {90, 4, 8}};
  for (const auto& row : table) {
    QRectF rect = text.boundingRectWithSize({row.width, 0}, StringDrawingUsesLineFragmentOrigin);
    EXPECT_EQ(rect.topLeft(), QPointF(0, 0));
    int lines = int(std::lround(rect.height() / lineHeight));
    EXPECT_GE(lines, row.minLines) << row.width;
    EXPECT_LE(lines, row.maxLines) << row.width;
    if (row.width > 0) {
      EXPECT_LE(rect.width(), row.width + 0.5);
    }
  }
  // Without line-fragment origin: the first line, measured from the baseline.
  QRectF baseline = text.boundingRectWithSize({0, 0}, 0);
  EXPECT_NEAR(baseline.y(), font.descender(), 1);
  // Paragraph breaks always start new lines.
  EXPECT_NEAR(AttributedString("a\nb\nc", font).size().height(), 3 * lineHeight, 3);
}

TEST(AttributedString, DrawsUprightFromTheTopOfItsRect) {
  Font font("DejaVu Sans", 100);
  auto context = GraphicsContext::bitmapContext(200, 200);
  QRectF rect(10, 10, 180, 180);
  context->drawAttributedString(AttributedString("T", font, Qt::black), rect);
  Ink ink = inkOf(*context);
  ASSERT_GE(ink.top, 0);
  // The cap's top sits (ascent − cap height) below the rect's top.
  double expectedTop = rect.y() + rect.height() - (font.ascender() - font.capHeight());
  EXPECT_NEAR(ink.top, expectedTop, 2.5);
  EXPECT_NEAR(ink.top - ink.bottom + 1, font.capHeight(), 2.5);
  // Upright: the T's bar (its widest row) is at the top of the ink.
  EXPECT_GE(ink.widestRow, ink.top - 12);

  // Text past the bottom of the rect is clipped away.
  auto clipped = GraphicsContext::bitmapContext(200, 200);
  clipped->drawAttributedString(AttributedString("T", font), QRectF(10, 150, 180, 40));
  Ink partial = inkOf(*clipped);
  EXPECT_GE(partial.bottom, 150);
}

TEST(AttributedString, DrawsAtBaselineAndThroughOperations) {
  Font font("DejaVu Sans", 40);
  auto context = GraphicsContext::bitmapContext(200, 100);
  context->fillRect({0, 0, 200, 100}, QColor(0, 0, 255));
  {
    CurrentContextScope scope(context.get());
    // Copy replaces glyph pixels only; the rest of the rect stays blue.
    context->setCompositingOperation(CompositingOperation::Copy);
    AttributedString("H", font, QColor(255, 0, 0, 128)).drawAtPoint({20, 30});
  }
  Ink ink;
  int lowest = -1;
  for (int y = 0; y < 100 && lowest < 0; ++y)
    for (int x = 0; x < 200; ++x)
      if (context->pixelColor(x, y).red() > 200) {
        lowest = y;
        break;
      }
  EXPECT_NEAR(lowest, 30, 1.5);  // "H" sits on its baseline
  QColor glyph = context->pixelColor(int(20 + font.widthOfString("H") * 0.2), 40);
  EXPECT_NEAR(glyph.alpha(), 128, 3);
  EXPECT_EQ(context->pixelColor(150, 50), QColor(0, 0, 255));
}

TEST(AttributedString, ParagraphAlignment) {
  Font font("DejaVu Sans", 30);
  double width = font.widthOfString("ab");
  const struct {
    TextAlignment alignment;
    double left;  // expected left edge of the text
  } table[] = {
      {TextAlignment::Left, 0},
      {TextAlignment::Natural, 0},
      {TextAlignment::Center, (200 - width) / 2},
      {TextAlignment::Right, 200 - width},
  };
  for (const auto& row : table) {
    AttributedString text("ab", font);
    ParagraphStyle style;
    style.alignment = row.alignment;
    text.addAttribute(ParagraphStyleAttributeName, paragraphStyleValue(style), 0, 2);
    auto context = GraphicsContext::bitmapContext(200, 50);
    context->drawAttributedString(text, {0, 0, 200, 50});
    Ink ink = inkOf(*context);
    // Glyph side bearings put ink a little inside the advance box.
    EXPECT_NEAR(ink.left, row.left, 4) << int(row.alignment);
    EXPECT_NEAR(ink.right, row.left + width, 4) << int(row.alignment);
  }
}
