#include "model/TextLayerFontScaling.h"

gfx::AttributedString attributedStringWithScale(const gfx::AttributedString& string, double scale) {
  gfx::AttributedString scaled = string;
  for (const gfx::AttributedString::Run& run : string.runs()) {
    QVariantMap attributes = run.attributes;
    gfx::Font font = gfx::fontOfAttributes(run.attributes);
    // The default font is named after the family it resolves to, so the
    // scaled text names the font it is drawn with.
    if (font.fontName().isEmpty())
      font = gfx::Font(font.familyName(), font.pointSize(), font.isBold(), font.isItalic());
    attributes.insert(gfx::FontAttributeName,
                      gfx::fontValue(font.withSize(font.pointSize() * scale)));
    scaled.setAttributes(attributes, run.location, run.length);
  }
  return scaled;
}
