// Compositing operations and blend modes, with the arithmetic that defines
// them. Drawing uses these formulas for every operation it cannot hand to
// QPainter unchanged, and the render engine calls compositePixels() directly,
// so each formula lives in exactly one place.
#pragma once

#include <QString>
#include <cstdint>

namespace gfx {

// Numbered as stored in documents (0 clear … 28 luminosity).
enum class CompositingOperation {
  Clear = 0,
  Copy = 1,
  SourceOver = 2,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestinationOver,
  DestinationIn,
  DestinationOut,
  DestinationAtop,
  XOR,
  PlusDarker,
  Highlight,
  PlusLighter,
  Multiply,
  Screen,
  Overlay,
  Darken,
  Lighten,
  ColorDodge,
  ColorBurn,
  SoftLight,
  HardLight,
  Difference,
  Exclusion,
  Hue,
  Saturation,
  Color,
  Luminosity = 28
};

// The drawing context's blend modes, in their own numbering.
enum class BlendMode {
  Normal = 0,
  Multiply,
  Screen,
  Overlay,
  Darken,
  Lighten,
  ColorDodge,
  ColorBurn,
  SoftLight,
  HardLight,
  Difference,
  Exclusion,
  Hue,
  Saturation,
  Color,
  Luminosity,
  Clear,
  Copy,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestinationOver,
  DestinationIn,
  DestinationOut,
  DestinationAtop,
  XOR,
  PlusDarker,
  PlusLighter
};

inline constexpr int CompositingOperationCount = 29;
inline constexpr int BlendModeCount = 28;

// The operation a blend mode performs (Normal is source-over).
CompositingOperation compositingOperationForBlendMode(BlendMode mode);

// A stable English name ("source-over", "plus-darker", …) for logs and tests.
QString nameOfCompositingOperation(CompositingOperation op);

// Whether the operation can change destination pixels the source does not
// cover with any alpha (source-in, copy, …). Callers use this to decide how
// large an area a draw touches.
bool clearsWhereSourceIsTransparent(CompositingOperation op);

// Composites `pixelCount` premultiplied RGBA float pixels (components in
// 0…1) of `source` onto `destination`, in place. `fraction` scales the source
// (all four components) before the formula, the way a drawing's global alpha
// or an image's fraction does. Highlight behaves as source-over. Results are
// clamped to 0…1 with colour never above alpha.
void compositePixels(CompositingOperation op, const float* sourcePremultipliedRGBA,
                     float* destinationPremultipliedRGBA, int pixelCount, float fraction);

// The same with a per-pixel coverage (0…1) that blends between the old and
// the composited destination: dst = dst + (composited − dst) × coverage.
// Drawing uses it for antialiased edges and clip masks; `coverage` may be
// null for full coverage.
void compositePixelsWithCoverage(CompositingOperation op, const float* sourcePremultipliedRGBA,
                                 float* destinationPremultipliedRGBA, const float* coverage,
                                 int pixelCount, float fraction);

// The same on 8-bit premultiplied pixels in the layout of QImage's
// ARGB32_Premultiplied (one native 32-bit word per pixel, alpha in the top
// byte), within 1/255 of the float form. `coverage` holds 0…255 per pixel,
// or is null for full coverage. This is the drawing path's inner loop: it
// works through short runs of pixels held channel by channel, which the
// compiler vectorises.
void compositeRow(CompositingOperation op, const uint32_t* source, uint32_t* destination,
                  const uint8_t* coverage, int pixelCount, float fraction);

}  // namespace gfx
