// The layers of the model benchmarks' document, shared by every program
// that measures it: ten 4000 × 3000 layers of smooth areas with some grain.
#pragma once

#include <QImage>
#include <map>
#include <random>

#include "graphics/CGImage.h"
#include "graphics/Image.h"

namespace bench {

inline constexpr int kModelWidth = 4000;
inline constexpr int kModelHeight = 3000;
inline constexpr int kModelLayers = 10;

// The pixels of layer `seed`, made once per program.
inline gfx::ImagePtr modelLayerPixels(int seed) {
  static std::map<int, gfx::ImagePtr> made;
  gfx::ImagePtr& image = made[seed];
  if (image) return image;
  QImage pixels(kModelWidth, kModelHeight, QImage::Format_ARGB32_Premultiplied);
  std::mt19937 random(seed);
  for (int y = 0; y < kModelHeight; ++y) {
    auto* row = reinterpret_cast<quint32*>(pixels.scanLine(y));
    for (int x = 0; x < kModelWidth; ++x) {
      const int grain = int(random() % 8);
      row[x] = qRgba((x / 16 + grain + seed * 20) & 255, (y / 12 + grain) & 255,
                     ((x + y) / 32 + seed) & 255, 255);
    }
  }
  image = gfx::Image::imageWithCGImage(gfx::CGImage::make(pixels));
  return image;
}

}  // namespace bench
