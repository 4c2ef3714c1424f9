// Pixels like a photograph's, for the rows whose cost depends on what the
// pixels hold (codecs, stores that compress): smooth fields of colour, a few
// broad waves and a vignette, under sensor grain. A synthetic pattern of
// ramps and flat tiles compresses far better than any photograph and flatters
// the coder that exploits it; grain over smooth fields leaves the entropy a
// camera leaves.
#pragma once

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

// An opaque picture; `seed` moves the fields and the grain.
inline QImage photoLikePicture(int width, int height, unsigned seed,
                               QImage::Format format = QImage::Format_RGBA8888) {
  // Each channel is a sum of a column term, a row term and their product,
  // from tables: smooth, never periodic over the picture, cheap to make.
  std::vector<float> column(size_t(width) * 3), row(size_t(height) * 3);
  for (int c = 0; c < 3; ++c) {
    const double phase = seed * 0.7 + c * 1.9;
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width;
      column[size_t(x) * 3 + c] =
          float(std::sin(u * (2.3 + c) + phase) * 0.5 + std::sin(u * 11.0 + phase * 3) * 0.08);
    }
    for (int y = 0; y < height; ++y) {
      const double v = double(y) / height;
      row[size_t(y) * 3 + c] =
          float(std::cos(v * (1.7 + c * 0.6) + phase) * 0.5 + std::sin(v * 9.0 - phase) * 0.07);
    }
  }
  QImage image(width, height, format);
  const bool bgra = format == QImage::Format_ARGB32_Premultiplied ||
                    format == QImage::Format_ARGB32 || format == QImage::Format_RGB32;
  uint32_t state = 0x9e3779b9u ^ (seed * 0x85ebca6bu);
  auto next = [&state] {  // xorshift32: fast grain, the same on every run
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (int y = 0; y < height; ++y) {
    uchar* p = image.scanLine(y);
    const double dy = double(y) / height - 0.5;
    for (int x = 0; x < width; ++x, p += 4) {
      const double dx = double(x) / width - 0.5;
      const double vignette = 1.0 - 0.9 * (dx * dx + dy * dy);
      const uint32_t bits = next();
      // Luminance grain shared by the channels (a sum of two uniforms, ±12),
      // and a little chroma grain per channel.
      const int grain = int(bits & 15) + int((bits >> 4) & 15) - 15;
      uchar channel[3];
      for (int c = 0; c < 3; ++c) {
        const float a = column[size_t(x) * 3 + c], b = row[size_t(y) * 3 + c];
        const double field = 128 + 90 * (a + b) * 0.5 + 50 * a * b;
        const int chroma = int((bits >> (8 + 3 * c)) & 7) - 3;
        const double value = field * vignette + grain * 0.8 + chroma;
        channel[c] = uchar(std::clamp(int(std::lround(value)), 0, 255));
      }
      p[bgra ? 2 : 0] = channel[0];
      p[1] = channel[1];
      p[bgra ? 0 : 2] = channel[2];
      p[3] = 255;
    }
  }
  return image;
}

}  // namespace bench
