// A general kernel's view of an input image (the CISampler role): the image
// plus how to read between pixel centres. While a kernel runs, a
// SamplerView reads the rendered region of interest at any point.
#pragma once

#include <QMetaType>

#include "coreimage/Image.h"

namespace ci {

class Sampler {
 public:
  Sampler() = default;
  explicit Sampler(const Image& image, Sampling sampling = Sampling::Linear)
      : image_(image), sampling_(sampling) {}
  static Sampler samplerWithImage(const Image& image) { return Sampler(image); }

  const Image& image() const { return image_; }
  QRectF extent() const { return image_.extent(); }
  Sampling sampling() const { return sampling_; }

 private:
  Image image_;
  Sampling sampling_ = Sampling::Linear;
};

class SamplerView {
 public:
  SamplerView(const PixelBuffer* pixels, Sampling sampling, const QRectF& extent)
      : pixels_(pixels), sampling_(sampling), extent_(extent) {}

  // The colour at (x, y) in image coordinates (pixel centres at half
  // integers); transparent outside the rendered region.
  void sample(double x, double y, float rgba[4]) const;
  // The pixels (x, y) … (x + count − 1, y) as sampled at their own centres,
  // which both samplings read as the pixel itself: a pointer into the
  // rendered region, or null when part of the row lies outside it.
  const float* pixelsAtCentres(int x, int y, int count) const;
  // Copies those pixels into `out` (4 × count floats), transparent where
  // they lie outside the rendered region, for neighbourhood filters that
  // read whole rows.
  void readPixels(int x, int y, int count, float* out) const;
  const QRectF& extent() const { return extent_; }
  // The rendered region itself (null when nothing was rendered), for
  // routines that index it directly in their inner loops.
  const PixelBuffer* pixels() const { return pixels_; }

 private:
  void pixelAt(int x, int y, float rgba[4]) const;

  const PixelBuffer* pixels_;
  Sampling sampling_;
  QRectF extent_;
};

}  // namespace ci

Q_DECLARE_METATYPE(ci::Sampler)
