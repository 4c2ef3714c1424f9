// The JSON reader: text into maps, lists, strings, decimal numbers, booleans
// and null. It keeps two leniencies replies rely on: no comma is needed
// between elements, and nothing is checked after a literal.
#pragma once

#include "sharing/DMJsonBase.h"

class DMJsonParser : public DMJsonBase {
 public:
  // A map or a list; anything else at the top is error 4. A null string is
  // "no input" (error 12), an empty one ends too early (error 11).
  QVariant objectWithString(const QString& text);
  // Any value at the top.
  QVariant fragmentWithString(const QString& text);

 protected:
  bool scanValue(QVariant& value);
  bool scanRestOfTrue(QVariant& value);
  bool scanRestOfFalse(QVariant& value);
  bool scanRestOfNull(QVariant& value);
  bool scanRestOfArray(QVariantList& array);
  bool scanRestOfDictionary(QVariantMap& dictionary);
  bool scanRestOfString(QString& string);
  bool scanNumber(QVariant& value);
  bool scanUnicodeChar(QString& string);
  bool scanHexQuad(char16_t& unit);
  bool scanIsAtEnd();

 private:
  bool scanLiteral(const char* rest, const char* message);
  bool scanEscape(QString& string);
  void skipWhitespace();

  // Into the NUL-terminated UTF-8 of the text being read; valid during a read.
  const char* c_ = nullptr;
};
