// A text layer's attributed string as an archivable object: the form its
// "attributedString" attribute takes in the store and in pasteboard archives.
// Fonts keep the family as asked for, colours and paragraph styles travel
// through the text-attribute archiving, other plain values are carried along.
#pragma once

#include <QByteArray>

#include "foundation/Coding.h"
#include "foundation/Error.h"
#include "graphics/AttributedString.h"

namespace fnd {
class KeyedUnarchiver;
}

class TextLayerAttributedStringCoding : public fnd::Coding {
 public:
  explicit TextLayerAttributedStringCoding(gfx::AttributedString string)
      : string_(std::move(string)) {}
  const gfx::AttributedString& attributedString() const { return string_; }

  QString archiveClassName() const override { return QStringLiteral("NSAttributedString"); }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override;
  // Null (and the coder failed) when the runs do not fit the text.
  static std::shared_ptr<TextLayerAttributedStringCoding> decode(fnd::KeyedUnarchiver& coder);
  // Makes unarchivers read "NSAttributedString" entries (and the classes of
  // text attributes) as this class; idempotent.
  static void registerClass();

  // The attribute value for a string, and the string held by such a value
  // (an empty string for anything else).
  static QVariant valueWithAttributedString(const gfx::AttributedString& string);
  static gfx::AttributedString attributedStringOfValue(const QVariant& value);

 private:
  gfx::AttributedString string_;
};

QByteArray archivedDataWithAttributedString(const gfx::AttributedString& string);
// False (and `error`) when the data is not an archived attributed string.
bool attributedStringWithArchivedData(const QByteArray& data, gfx::AttributedString* string,
                                      fnd::Error* error = nullptr);
