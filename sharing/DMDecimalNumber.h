// A decimal number made from its text, as JSON numbers are kept: up to 38
// significant digits and a power of ten from -128 to 127, so a reply's
// identifiers and amounts keep every digit a double would lose.
#pragma once

#include <QByteArrayView>
#include <QMetaType>
#include <QString>
#include <optional>

class DMDecimalNumber {
 public:
  static constexpr int maxDigits = 38;
  static constexpr int minExponent = -128;
  static constexpr int maxExponent = 127;

  DMDecimalNumber() = default;
  // The text of a JSON number; nothing when its value lies beyond the range.
  // Digits past the 38th round half up; values too small to keep become 0.
  static std::optional<DMDecimalNumber> fromText(QByteArrayView text);

  // Plain decimal notation without an exponent ("-0.0005", "1200").
  QString stringValue() const;
  double doubleValue() const;
  bool isNegative() const { return negative_; }

  friend bool operator==(const DMDecimalNumber&, const DMDecimalNumber&) = default;

 private:
  void normalise();
  unsigned __int128 mantissa_ = 0;
  int exponent_ = 0;
  bool negative_ = false;
};

Q_DECLARE_METATYPE(DMDecimalNumber)
