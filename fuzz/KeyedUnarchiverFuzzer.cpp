// Fuzzes the keyed unarchiver with every class the program registers, and
// each reader of a single archived value (colour, font, text attributes).
#include "FuzzSupport.h"
#include "foundation/KeyedUnarchiver.h"
#include "graphics/ArchivedColor.h"
#include "model/FontCoding.h"
#include "model/PDFImageCoding.h"
#include "model/Settings.h"
#include "model/TextAttributesCoding.h"
#include "model/TextLayerAttributedStringCoding.h"

namespace {

void registerEveryClass() {
  gfx::ArchivedColor::registerClass();
  FontCoding::registerClass();
  PDFImageCoding::registerClass();
  Settings::registerClass();
  TextLayerAttributedStringCoding::registerClass();
  registerTextAttributeClasses();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (registerEveryClass(), true);
  (void)registered;
  const QByteArray bytes = fuzz::bytes(data, size);
  fnd::Error error;
  auto coder = fnd::KeyedUnarchiver::create(bytes, &error);
  if (!coder) return 0;
  coder->decodeObjectForKey(QStringLiteral("root"));
  fnd::KeyedUnarchiver::unarchiveObjectWithData(bytes, &error);
  gfx::colorWithArchivedData(bytes, &error);
  gfx::Font font;
  fontWithArchivedData(bytes, &font, &error);
  QVariantMap attributes;
  textAttributesWithArchivedData(bytes, &attributes, &error);
  return 0;
}
