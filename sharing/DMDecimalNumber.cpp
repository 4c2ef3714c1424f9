#include "sharing/DMDecimalNumber.h"

#include <cmath>

namespace {

using u128 = unsigned __int128;

const u128 kLimit = [] {  // 10^38: the first value with 39 digits
  u128 value = 1;
  for (int i = 0; i < DMDecimalNumber::maxDigits; ++i) value *= 10;
  return value;
}();

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<DMDecimalNumber> DMDecimalNumber::fromText(QByteArrayView text) {
  DMDecimalNumber number;
  const char* c = text.data();
  const char* end = c + text.size();
  if (c < end && *c == '-') number.negative_ = true, ++c;
  long long exponent = 0;
  bool seenPoint = false, roundUp = false, dropped = false;
  int significant = 0;
  for (; c < end && (isDigit(*c) || *c == '.'); ++c) {
    if (*c == '.') {
      seenPoint = true;
      continue;
    }
    const int digit = *c - '0';
    if (significant < maxDigits) {
      number.mantissa_ = number.mantissa_ * 10 + digit;
      if (number.mantissa_ != 0) ++significant;
      if (seenPoint) --exponent;
    } else {
      if (!dropped) roundUp = digit >= 5;
      dropped = true;
      if (!seenPoint) ++exponent;
    }
  }
  if (c < end && (*c == 'e' || *c == 'E')) {
    ++c;
    bool negativeExponent = false;
    if (c < end && (*c == '+' || *c == '-')) negativeExponent = *c++ == '-';
    long long written = 0;
    for (; c < end && isDigit(*c); ++c) written = std::min(written * 10 + (*c - '0'), 1000000LL);
    exponent += negativeExponent ? -written : written;
  }
  if (c != end) return std::nullopt;
  if (roundUp && ++number.mantissa_ == kLimit) number.mantissa_ /= 10, ++exponent;
  if (number.mantissa_ == 0) return DMDecimalNumber();
  while (exponent < minExponent && number.mantissa_ != 0) {
    const bool up = number.mantissa_ % 10 >= 5;
    number.mantissa_ = number.mantissa_ / 10 + (up ? 1 : 0);
    ++exponent;
  }
  while (exponent > maxExponent && number.mantissa_ < kLimit / 10) {
    number.mantissa_ *= 10;
    --exponent;
  }
  if (exponent > maxExponent) return std::nullopt;
  number.exponent_ = int(exponent);
  number.normalise();
  return number;
}

void DMDecimalNumber::normalise() {
  if (mantissa_ == 0) {
    exponent_ = 0;
    negative_ = false;
    return;
  }
  while (mantissa_ % 10 == 0 && exponent_ < maxExponent) mantissa_ /= 10, ++exponent_;
}

QString DMDecimalNumber::stringValue() const {
  QByteArray digits;
  for (u128 rest = mantissa_; rest != 0 || digits.isEmpty(); rest /= 10)
    digits.prepend(char('0' + int(rest % 10)));
  if (exponent_ >= 0) {
    if (mantissa_ != 0) digits.append(QByteArray(exponent_, '0'));
  } else {
    const int fraction = -exponent_;
    if (digits.size() <= fraction) digits.prepend(QByteArray(fraction - digits.size() + 1, '0'));
    digits.insert(digits.size() - fraction, '.');
  }
  if (negative_) digits.prepend('-');
  return QString::fromLatin1(digits);
}

double DMDecimalNumber::doubleValue() const { return stringValue().toDouble(); }
