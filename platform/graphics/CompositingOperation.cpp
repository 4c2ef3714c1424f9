#include "graphics/CompositingOperation.h"

#include "graphics/CompositingFormulas.h"

namespace gfx {
namespace {

using namespace formulas;

Pixel load(const float* p, float scale) {
  return {p[0] * scale, p[1] * scale, p[2] * scale, p[3] * scale};
}

// One loop per operation, so the formula is chosen once per call rather
// than once per pixel.
template <Op op>
void compositeRun(const float* source, float* destination, const float* coverage, int pixelCount,
                  float fraction) {
  for (int i = 0; i < pixelCount; ++i) {
    float m = coverage ? coverage[i] : 1.0f;
    if (m <= 0) continue;
    float* dp = destination + 4 * i;
    Pixel d = load(dp, 1);
    Pixel r = clampPixel(compositeOne<op>(load(source + 4 * i, fraction), d));
    if (m < 1) r = cover(d, r, m);
    dp[0] = r.r;
    dp[1] = r.g;
    dp[2] = r.b;
    dp[3] = r.a;
  }
}

}  // namespace

void compositePixels(CompositingOperation op, const float* source, float* destination,
                     int pixelCount, float fraction) {
  compositePixelsWithCoverage(op, source, destination, nullptr, pixelCount, fraction);
}

void compositePixelsWithCoverage(CompositingOperation op, const float* source, float* destination,
                                 const float* coverage, int pixelCount, float fraction) {
  dispatch(op,
           [&]<Op O>() { compositeRun<O>(source, destination, coverage, pixelCount, fraction); });
}

CompositingOperation compositingOperationForBlendMode(BlendMode mode) {
  int m = int(mode);
  if (mode == BlendMode::Normal) return Op::SourceOver;
  if (m >= int(BlendMode::Multiply) && m <= int(BlendMode::Luminosity))
    return Op(int(Op::Multiply) + m - int(BlendMode::Multiply));
  switch (mode) {
    case BlendMode::Clear:
      return Op::Clear;
    case BlendMode::Copy:
      return Op::Copy;
    case BlendMode::PlusDarker:
      return Op::PlusDarker;
    case BlendMode::PlusLighter:
      return Op::PlusLighter;
    default:  // SourceIn … XOR keep their relative order
      if (m >= int(BlendMode::SourceIn) && m <= int(BlendMode::XOR))
        return Op(int(Op::SourceIn) + m - int(BlendMode::SourceIn));
      return Op::SourceOver;
  }
}

QString nameOfCompositingOperation(CompositingOperation op) {
  static const char* const names[CompositingOperationCount] = {"clear",
                                                               "copy",
                                                               "source-over",
                                                               "source-in",
                                                               "source-out",
                                                               "source-atop",
                                                               "destination-over",
                                                               "destination-in",
                                                               "destination-out",
                                                               "destination-atop",
                                                               "xor",
                                                               "plus-darker",
                                                               "highlight",
                                                               "plus-lighter",
                                                               "multiply",
                                                               "screen",
                                                               "overlay",
                                                               "darken",
                                                               "lighten",
                                                               "color-dodge",
                                                               "color-burn",
                                                               "soft-light",
                                                               "hard-light",
                                                               "difference",
                                                               "exclusion",
                                                               "hue",
                                                               "saturation",
                                                               "color",
                                                               "luminosity"};
  int index = int(op);
  return index >= 0 && index < CompositingOperationCount ? QString::fromLatin1(names[index])
                                                         : QStringLiteral("unknown");
}

bool clearsWhereSourceIsTransparent(CompositingOperation op) {
  switch (op) {
    case Op::Clear:
    case Op::Copy:
    case Op::SourceIn:
    case Op::SourceOut:
    case Op::DestinationIn:
    case Op::DestinationAtop:
      return true;
    default:
      return false;
  }
}

}  // namespace gfx
