#include "imageio/TIFFStraightRow.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace io {
namespace {

template <typename T>
uchar toByte(T sample) {
  if constexpr (std::is_same_v<T, float>)
    return uchar(std::lround(std::clamp(sample, 0.0f, 1.0f) * 255));
  else if constexpr (sizeof(T) == 2)
    return uchar((uint32_t(sample) * 255 + 32895) >> 16);
  else
    return sample;
}

template <typename T>
void convertSamples(const T* in, const TIFFDirectory& d, uint32_t count, uchar* out) {
  const int n = d.samplesPerPixel;
  const bool gray = n <= 2;
  const bool alpha = d.hasAlpha() && n % 2 == 0;
  for (uint32_t x = 0; x < count; ++x, in += n, out += 4) {
    out[0] = toByte(in[0]);
    out[1] = toByte(gray ? in[0] : in[1]);
    out[2] = toByte(gray ? in[0] : in[2]);
    out[3] = alpha ? toByte(in[n - 1]) : 255;
    if (alpha && d.associatedAlpha() && out[3] < 255)
      for (int c = 0; c < 3; ++c)
        out[c] = out[3] ? uchar(std::min(255, (out[c] * 255 + out[3] / 2) / out[3])) : 0;
  }
}

}  // namespace

bool TIFFStraightRow::isStraightRGBA8(const TIFFDirectory& d) {
  return d.samplesPerPixel == 4 && d.bitsPerSample == 8 && !d.isFloat() && d.hasAlpha() &&
         !d.associatedAlpha();
}

void TIFFStraightRow::convert(const char* in, const TIFFDirectory& d, uint32_t count, uchar* out) {
  if (d.isFloat())
    convertSamples(reinterpret_cast<const float*>(in), d, count, out);
  else if (d.bitsPerSample == 16)
    convertSamples(reinterpret_cast<const uint16_t*>(in), d, count, out);
  else
    convertSamples(reinterpret_cast<const uint8_t*>(in), d, count, out);
}

}  // namespace io
