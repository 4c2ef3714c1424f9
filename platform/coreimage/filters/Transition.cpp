// Transitions: from the input image at time 0 to the target image at time 1,
// as slide shows and video cuts use them. Every transition gives the input
// back at time 0 and the target at time 1. The shapes of the bands, rays and
// waves are the standard ones, named on the kernel declarations
// (kernels/Transition.cikernel).
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"
#include "coreimage/filters/Warp.h"

namespace ci::filters {

namespace {

constexpr float kLuma[3] = {0.2126f, 0.7152f, 0.0722f};

void mixInto(const float* a, const float* b, float t, float* out) {
  for (int c = 0; c < 4; ++c) out[c] = a[c] + (b[c] - a[c]) * t;
}

void dissolveRow(const KernelRow& row) {
  const float t = clamp01(row.values[0][0]);
  for (int i = 0; i < row.count * 4; i += 4)
    mixInto(row.samples[0] + i, row.samples[1] + i, t, row.out + i);
}

// Position along the direction, for the pixel centres of one row.
struct Along {
  double dx, dy, a, b;
  explicit Along(const std::array<float, 4>& v) : dx(v[0]), dy(v[1]), a(v[2]), b(v[3]) {}
  double at(double x, double y) const { return x * dx + y * dy; }
};

void barsSwipeRow(const KernelRow& row) {
  const Along along(row.values[0]);
  const double width = std::max(1.0f, row.values[1][0]), offset = row.values[1][1];
  const double time = clamp01(row.values[2][0]);
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double x = row.x + i + 0.5;
    const double across = -x * along.dy + y * along.dx;
    const bool late = static_cast<long long>(std::floor(across / width)) % 2 != 0;
    // Starts before the span and ends past it, late bars `offset` behind.
    const double front =
        along.a - offset + (along.b - along.a + 2 * offset) * time - (late ? offset : 0.0);
    const float* from = (along.at(x, y) < front ? row.samples[1] : row.samples[0]) + i * 4;
    std::copy(from, from + 4, row.out + i * 4);
  }
}

void sweepRow(const KernelRow& row) {
  const Along along(row.values[0]);
  const double width = std::max(1.0f, row.values[1][0]);
  const float opacity = row.values[1][1];
  const bool copyMachine = row.values[1][2] > 0.5f;
  const float* colour = row.values[2].data();
  const double time = clamp01(row.values[3][0]);
  // The band's trailing edge runs from `width` before the span to past it.
  const double back = along.a - width + (along.b - along.a + 2 * width) * time;
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double s = along.at(row.x + i + 0.5, y) - back;  // 0…width inside the band
    const float* source = row.samples[0] + i * 4;
    const float* target = row.samples[1] + i * 4;
    float* out = row.out + i * 4;
    if (s <= 0 || s >= width) {
      std::copy(s <= 0 ? target : source, (s <= 0 ? target : source) + 4, out);
      continue;
    }
    const float u = float(s / width);
    const float glow = 4 * u * (1 - u);  // 0 at the edges, 1 mid-band
    if (copyMachine) {
      std::copy(target, target + 4, out);
      mixInto(out, colour, clamp01(opacity * glow), out);
    } else {
      mixInto(target, source, u, out);
      mixInto(out, colour, clamp01(opacity * glow), out);
    }
  }
}

void flashRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const auto& shape = row.values[1];
  const float* colour = row.values[2].data();
  const float time = clamp01(row.values[3][0]);
  const float threshold = std::clamp(shape[3], 0.01f, 0.99f);
  // The flash grows until the threshold, where the picture changes, then fades.
  const float strength = time < threshold ? time / threshold : (1 - time) / (1 - threshold);
  const double reach = std::max(1.0, double(shape[0]) * 100 * strength);
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double dx = row.x + i + 0.5 - cx, dy = y - cy;
    const double rays =
        std::pow(0.5 + 0.5 * std::cos(16 * std::atan2(dy, dx)), std::max(0.01, double(shape[2])));
    const double radius = reach * (1 + shape[1] * rays) * (1 + 4 * strength * strength);
    const float light = strength * clamp01(float(1 - std::hypot(dx, dy) / radius) + strength);
    const float* base = (time < threshold ? row.samples[0] : row.samples[1]) + i * 4;
    mixInto(base, colour, clamp01(light), row.out + i * 4);
  }
}

void modRow(const KernelRow& row) {
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double c = std::cos(row.values[1][0]), s = std::sin(row.values[1][0]);
  const double radius = std::max(1.0f, row.values[1][1]);
  const double compression = std::max(1.0f, row.values[1][2]);
  const double time = clamp01(row.values[2][0]);
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double dx = row.x + i + 0.5 - cx, dy = y - cy;
    const double u = c * dx + s * dy, v = -s * dx + c * dy;
    const double m = u / radius + v * v / (compression * radius);
    const bool shown = m - std::floor(m) < time;
    const float* from = (shown ? row.samples[1] : row.samples[0]) + i * 4;
    std::copy(from, from + 4, row.out + i * 4);
  }
}

void rippleRow(const KernelRow& row) {
  const SamplerView& source = *row.samplers[0];
  const SamplerView& target = *row.samplers[1];
  const SamplerView& shading = *row.samplers[2];
  const double cx = row.values[0][0], cy = row.values[0][1];
  const double half = std::max(1.0f, row.values[1][0]) / 2, scale = row.values[1][1];
  const double reach = row.values[1][2];
  const auto& span = row.values[2];  // shading x, width, middle y
  const double time = clamp01(row.values[3][0]);
  const double ring = -half + (reach + 2 * half) * time;
  const double y = row.y + 0.5;
  for (int i = 0; i < row.count; ++i) {
    const double x = row.x + i + 0.5;
    const double dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
    float* out = row.out + i * 4;
    const double phase = (d - ring) / half;  // −1…1 across the ring
    if (std::abs(phase) >= 1) {
      (phase <= -1 ? target : source).sample(x, y, out);
      continue;
    }
    const double push = d > 0 ? scale * std::sin(M_PI * phase) * (1 - std::abs(phase)) / d : 0;
    float a[4], b[4], light[4];
    source.sample(x + dx * push, y + dy * push, a);
    target.sample(x + dx * push, y + dy * push, b);
    mixInto(a, b, float(0.5 - phase / 2), out);
    shading.sample(span[0] + (phase + 1) / 2 * span[1], span[2], light);
    const float k = float(1 - std::abs(phase));
    for (int c = 0; c < 3; ++c) out[c] += (out[c] * light[c] - out[c]) * k;
  }
}

void disintegrateRemainsRow(const KernelRow& row) {
  constexpr float kEdge = 0.01f;
  const float time = clamp01(row.values[0][0]);
  const float threshold = time * (1 + 2 * kEdge) - kEdge;
  for (int i = 0; i < row.count * 4; i += 4) {
    const float* m = row.samples[0] + i;
    const float lum = kLuma[0] * m[0] + kLuma[1] * m[1] + kLuma[2] * m[2];
    const float r = clamp01((lum - threshold) / kEdge + 0.5f);
    row.out[i] = row.out[i + 1] = row.out[i + 2] = row.out[i + 3] = r;
  }
}

void disintegrateCompositeRow(const KernelRow& row) {
  const float density = clamp01(row.values[0][0]);
  for (int i = 0; i < row.count * 4; i += 4) {
    const float remains = row.samples[2][i + 3];
    const float shade = 1 - density * clamp01(row.samples[3][i + 3]);
    float shaded[4];
    for (int c = 0; c < 4; ++c) shaded[c] = row.samples[1][i + c] * (c < 3 ? shade : 1.0f);
    mixInto(shaded, row.samples[0] + i, remains, row.out + i);
  }
}

// ---- Recipes ----

// The union of the two images, where a transition draws.
QRectF transitionExtent(const Image& source, const Image& target) {
  return unite(source.extent(), target.extent());
}

// The direction of `angle` and the span of `area` along it.
Vector directionSpan(double angle, const QRectF& area) {
  const double dx = std::cos(angle), dy = std::sin(angle);
  double lo = 1e300, hi = -1e300;
  for (const QPointF& p :
       {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
    lo = std::min(lo, p.x() * dx + p.y() * dy);
    hi = std::max(hi, p.x() * dx + p.y() * dy);
  }
  return Vector{dx, dy, lo, hi};
}

// The area a sweeping transition crosses: inputExtent, grown to hold the
// images when they are finite, so the target has covered them by time 1
// whatever their size (the browser leaves inputExtent at its default).
QRectF sweptArea(const BuiltInFilter& f, const QRectF& images) {
  QRectF area = f.vectorValue(kCIInputExtentKey).CGRectValue();
  if (!isInfinite(images)) area = unite(area, images);
  return isEmpty(area) || isInfinite(area) ? QRectF(0, 0, 300, 300) : area;
}

struct Pair {
  Image source, target;
  bool usable() const { return !source.isNull() && !target.isNull(); }
};

Pair imagesOf(const BuiltInFilter& f) {
  return {f.imageValue(kCIInputImageKey), f.imageValue(QStringLiteral("inputTargetImage"))};
}

Image runTransition(const QString& name, const Pair& images, QVariantList values) {
  const KernelPtr kernel = builtInKernel(name);
  if (!images.usable() || !kernel) return images.source;
  QVariantList arguments{QVariant::fromValue(images.source), QVariant::fromValue(images.target)};
  arguments += values;
  return kernel->applyWithExtent(transitionExtent(images.source, images.target), arguments);
}

double timeOf(const BuiltInFilter& f) { return f.numberValue(QStringLiteral("inputTime")); }

Image dissolve(const BuiltInFilter& f) {
  return runTransition(QStringLiteral("dissolveTransition"), imagesOf(f), {timeOf(f)});
}

Image barsSwipe(const BuiltInFilter& f) {
  const Pair images = imagesOf(f);
  QRectF area = transitionExtent(images.source, images.target);
  if (isInfinite(area) || isEmpty(area)) area = QRectF(0, 0, 300, 300);
  return runTransition(
      QStringLiteral("barsSwipeTransition"), images,
      {QVariant::fromValue(directionSpan(f.numberValue(kCIInputAngleKey), area)),
       QVariant::fromValue(Vector{f.numberValue(kCIInputWidthKey),
                                  f.numberValue(QStringLiteral("inputBarOffset"))}),
       timeOf(f)});
}

FilterRecipe sweep(bool copyMachine) {
  return [copyMachine](const BuiltInFilter& f) {
    const Pair images = imagesOf(f);
    const QRectF area = sweptArea(f, transitionExtent(images.source, images.target));
    return runTransition(QStringLiteral("sweepTransition"), images,
                         {QVariant::fromValue(directionSpan(f.numberValue(kCIInputAngleKey), area)),
                          QVariant::fromValue(Vector{f.numberValue(kCIInputWidthKey),
                                                     f.numberValue(QStringLiteral("inputOpacity")),
                                                     copyMachine ? 1.0 : 0.0}),
                          f.valueForKey(kCIInputColorKey), timeOf(f)});
  };
}

Image flash(const BuiltInFilter& f) {
  return runTransition(
      QStringLiteral("flashTransition"), imagesOf(f),
      {f.valueForKey(kCIInputCenterKey),
       QVariant::fromValue(
           Vector{f.numberValue("inputMaxStriationRadius"), f.numberValue("inputStriationStrength"),
                  f.numberValue("inputStriationContrast"), f.numberValue("inputFadeThreshold")}),
       f.valueForKey(kCIInputColorKey), timeOf(f)});
}

Image mod(const BuiltInFilter& f) {
  return runTransition(
      QStringLiteral("modTransition"), imagesOf(f),
      {f.valueForKey(kCIInputCenterKey),
       QVariant::fromValue(Vector{f.numberValue(kCIInputAngleKey), f.numberValue(kCIInputRadiusKey),
                                  f.numberValue("inputCompression")}),
       timeOf(f)});
}

Image ripple(const BuiltInFilter& f) {
  const Pair images = imagesOf(f);
  Image shading = f.imageValue(QStringLiteral("inputShadingImage"));
  const KernelPtr kernel = builtInKernel(QStringLiteral("rippleTransition"));
  if (!images.usable() || !kernel) return images.source;
  if (shading.isNull() || isEmpty(shading.extent()) || isInfinite(shading.extent()))
    shading = Image::imageWithColor(Color(1, 1, 1, 1)).imageByCroppingToRect(QRectF(0, 0, 1, 1));
  const QPointF centre = f.vectorValue(kCIInputCenterKey).CGPointValue();
  const QRectF extent = transitionExtent(images.source, images.target);
  const QRectF area = sweptArea(f, extent);
  const double reach = farthestDistance(centre, area);
  const double width = std::clamp(f.numberValue(kCIInputWidthKey), 1.0, 2000.0);
  const double scale = std::clamp(f.numberValue(kCIInputScaleKey), -2000.0, 2000.0);
  const QRectF s = shading.extent();
  const double grow = std::abs(scale) + 1;
  auto roi = [grow, s](int index, const QRectF& rect) {
    return index == 2 ? s : rect.adjusted(-grow, -grow, grow, grow);
  };
  return kernel->applyWithExtent(
      extent, roi,
      {QVariant::fromValue(Sampler(images.source)), QVariant::fromValue(Sampler(images.target)),
       QVariant::fromValue(Sampler(shading)),
       QVariant::fromValue(Vector::vectorWithCGPoint(centre)),
       QVariant::fromValue(Vector{width, scale, reach}),
       QVariant::fromValue(Vector{s.x(), s.width(), s.center().y()}), timeOf(f)});
}

Image disintegrate(const BuiltInFilter& f) {
  const Pair images = imagesOf(f);
  const Image mask = f.imageValue(kCIInputMaskImageKey);
  const KernelPtr remainsKernel = builtInKernel(QStringLiteral("disintegrateRemains"));
  const KernelPtr composite = builtInKernel(QStringLiteral("disintegrateComposite"));
  if (!images.usable() || mask.isNull() || !remainsKernel || !composite) return images.source;
  const QRectF extent = transitionExtent(images.source, images.target);
  // Outside the mask nothing remains: its luminance there reads as 0.
  const Image remains =
      remainsKernel->applyWithExtent(extent, {QVariant::fromValue(mask), timeOf(f)});
  const Vector offset = f.vectorValue(QStringLiteral("inputShadowOffset"));
  const Image shadow =
      remains
          .imageByApplyingFilter(QStringLiteral("CIGaussianBlur"),
                                 {{kCIInputRadiusKey, f.numberValue("inputShadowRadius")}})
          .imageByApplyingTransform(QTransform::fromTranslate(offset.X(), offset.Y()));
  return composite->applyWithExtent(
      extent, {QVariant::fromValue(images.source), QVariant::fromValue(images.target),
               QVariant::fromValue(remains), QVariant::fromValue(shadow),
               f.numberValue("inputShadowDensity")});
}

}  // namespace

void registerTransitionFilters(FilterRegistry& registry) {
  const struct {
    const char* name;
    KernelRoutine routine;
  } routines[] = {
      {"dissolveTransition", dissolveRow},
      {"barsSwipeTransition", barsSwipeRow},
      {"sweepTransition", sweepRow},
      {"flashTransition", flashRow},
      {"modTransition", modRow},
      {"rippleTransition", rippleRow},
      {"disintegrateRemains", disintegrateRemainsRow},
      {"disintegrateComposite", disintegrateCompositeRow},
  };
  for (const auto& r : routines) Kernel::registerRoutine(QString::fromLatin1(r.name), r.routine);

  const QStringList transition = categories({kCICategoryTransition, kCICategoryVideo});
  const FilterInput image = imageInput(kCIInputImageKey, "The image the transition starts from.");
  const FilterInput target =
      imageInput(QStringLiteral("inputTargetImage"), "The image the transition ends with.");
  FilterInput time = numberInput("inputTime", kCIAttributeTypeTime, 0, 0, 0, 1,
                                 "The parametric time of the transition, from 0 to 1.");
  time.maximum = 1.0;
  time.identity = 0.0;
  auto number = [](const char* key, const QString& type, double value, double sliderMin,
                   double sliderMax, const char* description) {
    return numberInput(key, type, value, sliderMin, sliderMin, sliderMax, description);
  };
  auto anyAngle = [](double value, const char* description) {
    FilterInput in =
        numberInput(kCIInputAngleKey, kCIAttributeTypeAngle, value, 0, -M_PI, M_PI, description);
    in.minimum = QVariant();
    return in;
  };
  const FilterInput extent =
      vectorInput(kCIInputExtentKey, kCIAttributeTypeRectangle, Vector{0, 0, 300, 300},
                  "The area the effect crosses, as x, y, width and height.");
  const FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition,
                                         Vector{150, 150}, "The centre of the effect.");
  auto color = [](double r, double g, double b, const char* description) {
    return colorInput(kCIInputColorKey, Color(r, g, b, 1), description);
  };

  registerDefinitions(
      registry,
      {
          {"CIBarsSwipeTransition",
           transition,
           "Transitions from one image to another by passing a bar over the source image.",
           {image, target, anyAngle(M_PI, "The direction the bars move in."),
            number("inputWidth", kCIAttributeTypeDistance, 30, 2, 300, "The width of each bar."),
            number("inputBarOffset", kCIAttributeTypeScalar, 10, 1, 25,
                   "How far every other bar lags behind."),
            time},
           barsSwipe},
          {"CICopyMachineTransition",
           transition,
           "Transitions from one image to another by simulating the effect of a copy machine.",
           {image, target, extent, color(0.6, 1, 1, "The colour of the copier light."), time,
            anyAngle(0, "The direction the light moves in."),
            number("inputWidth", kCIAttributeTypeDistance, 200, 0.1, 500,
                   "The width of the copier light."),
            number("inputOpacity", kCIAttributeTypeScalar, 1.3, 0, 3,
                   "The opacity of the copier light.")},
           sweep(true)},
          {"CIDisintegrateWithMaskTransition",
           transition,
           "Transitions from one image to another using the shape defined by a mask: the "
           "darkest parts of the mask go first.",
           {image, target,
            imageInput(kCIInputMaskImageKey, "The mask whose luminance orders the change."), time,
            number("inputShadowRadius", kCIAttributeTypeDistance, 8, 0, 50,
                   "The blur of the shadow the remaining image casts."),
            number("inputShadowDensity", kCIAttributeTypeScalar, 0.65, 0, 1,
                   "How dark the shadow is."),
            vectorInput("inputShadowOffset", kCIAttributeTypeOffset, Vector{0, -10},
                        "The offset of the shadow.")},
           disintegrate},
          {"CIDissolveTransition",
           transition,
           "Uses a dissolve to transition from one image to another.",
           {image, target, time},
           dissolve},
          {"CIFlashTransition",
           transition,
           "Transitions from one image to another by creating a flash.",
           {image, target, center, extent, color(1, 0.8, 0.6, "The colour of the light."), time,
            number("inputMaxStriationRadius", kCIAttributeTypeScalar, 2.58, 0, 10,
                   "The radius of the light rays, in hundreds of pixels."),
            number("inputStriationStrength", kCIAttributeTypeScalar, 0.5, 0, 3,
                   "The strength of the light rays."),
            number("inputStriationContrast", kCIAttributeTypeScalar, 1.375, 0, 5,
                   "The contrast of the light rays."),
            number("inputFadeThreshold", kCIAttributeTypeScalar, 0.85, 0, 1,
                   "The time at which the picture changes and the flash starts to fade.")},
           flash},
          {"CIModTransition",
           transition,
           "Transitions from one image to another by revealing the target image through "
           "irregularly shaped holes.",
           {image, target, center, time, anyAngle(2, "The angle of the bands."),
            number("inputRadius", kCIAttributeTypeDistance, 150, 1, 200,
                   "The spacing of the bands."),
            number("inputCompression", kCIAttributeTypeDistance, 300, 1, 800,
                   "How strongly the bands curve; larger curves less.")},
           mod},
          {"CIRippleTransition",
           transition,
           "Transitions from one image to another by creating a circular wave that expands "
           "from the centre point, revealing the new image in the wake of the wave.",
           {image, target,
            imageInput("inputShadingImage", "The image that lights the wave across its width."),
            center, extent, time,
            number("inputWidth", kCIAttributeTypeDistance, 100, 1, 300, "The width of the wave."),
            number("inputScale", kCIAttributeTypeScalar, 50, -50, 50,
                   "How far the wave bends what lies under it.")},
           ripple},
          {"CISwipeTransition",
           transition,
           "Transitions from one image to another by simulating a swiping action.",
           {image, target, extent, color(1, 1, 1, "The colour of the swipe."), time,
            anyAngle(0, "The direction of the swipe."),
            number("inputWidth", kCIAttributeTypeDistance, 300, 0.1, 800,
                   "The width of the swipe."),
            number("inputOpacity", kCIAttributeTypeScalar, 0, 0, 1,
                   "The opacity of the swipe's colour.")},
           sweep(false)},
      });
}

}  // namespace ci::filters
