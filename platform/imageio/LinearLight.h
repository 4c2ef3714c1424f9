// The sRGB transfer curve between the engine's samples, which are
// sRGB-encoded, and the scene-linear light that OpenEXR files hold by
// convention. Colour goes through the curve un-premultiplied and alpha is left
// alone; the curve runs on past 1 and mirrored below 0, so HDR values keep
// their meaning both ways.
#pragma once

#include <ImfRgba.h>

#include <cstdint>

namespace io {

class LinearLight {
 public:
  // Straight float RGBA samples (four floats a pixel; alpha 1 for RGBX) to
  // premultiplied linear halves.
  static void linearRow(const float* straight, int count, Imf::Rgba* out);
  // The same from straight 16-bit RGBA samples, through a table of every
  // 16-bit value: the path of 8- and 16-bit images.
  static void linearRow(const uint16_t* straight, int count, Imf::Rgba* out);
  // Premultiplied linear halves to premultiplied sRGB-encoded halves, in
  // place, through a table of every half value; under partial alpha the
  // un-premultiplied colour is rounded to a half for it. Colour under zero
  // alpha (light a pixel adds without covering) goes through as it stands.
  // NaN becomes 0 and infinities the largest half (alpha 0 or 1), so every
  // sample that leaves here is finite.
  static void encodedRow(Imf::Rgba* pixels, int count);
};

}  // namespace io
