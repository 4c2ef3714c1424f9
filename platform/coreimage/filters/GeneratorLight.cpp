// Light effects, generated over an infinite extent: a star with crossed
// spikes, a sun with rays and a lens's coloured halo. Their exact shapes
// are our own: each is a glow in the given colour whose coverage (alpha)
// is its brightness, so it adds light when composited over a picture.
#include <cmath>
#include <numbers>

#include "coreimage/FilterRegistry.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

// Striations around a centre: a sum of sines of whole multiples of the
// angle (so it closes up around the circle), in 0…1; `time` shifts the
// phases so an animation makes the rays shimmer.
float striation(double angle, double time) {
  static const struct {
    int frequency;
    double phase, speed, weight;
  } waves[] = {{7, 0.3, 1.0, 0.30},
               {13, 1.7, -1.3, 0.25},
               {23, 4.1, 0.7, 0.20},
               {37, 2.9, 1.9, 0.15},
               {53, 5.3, -0.9, 0.10}};
  double sum = 0;
  for (const auto& w : waves)
    sum += w.weight * std::sin(w.frequency * angle + w.phase + w.speed * time);
  return float(0.5 + 0.5 * sum);  // the weights add up to 1
}

void glowInto(const float* color, float brightness, float* out) {
  const float b = clamp01(brightness);
  for (int c = 0; c < 4; ++c) out[c] = color[c] * b;
}

// A core falling off as exp(−4(d/r)²), a faint halo as r/(d + r)·10^(ε/2),
// and two spikes along the angle and across it, each exp(−|across|/width)
// and fading over crossScale × r along it, of strength 10^(opacity/4).
void starShineRow(const KernelRow& row) {
  const float cx = row.values[0][0], cy = row.values[0][1];
  const float* color = row.values[1].data();
  const float radius = std::max(1e-3f, row.values[2][0]), scale = row.values[2][1];
  const float angle = row.values[2][2], opacity = row.values[2][3];
  const float width = std::max(1e-3f, row.values[3][0]), epsilon = row.values[3][1];
  const float cs = std::cos(angle), sn = std::sin(angle);
  const float spikes = std::pow(10.0f, opacity / 4), halo = std::pow(10.0f, epsilon / 2);
  const float reach = std::max(1e-3f, scale * radius);
  const float dy = float(row.y) + 0.5f - cy;
  for (int i = 0; i < row.count; ++i) {
    const float dx = float(row.x + i) + 0.5f - cx;
    const float d = std::sqrt(dx * dx + dy * dy);
    const float u = std::fabs(dx * cs + dy * sn), v = std::fabs(-dx * sn + dy * cs);
    const float core = std::exp(-4 * d * d / (radius * radius));
    const float arms =
        spikes * (std::exp(-v / width - u / reach) + std::exp(-u / width - v / reach));
    glowInto(color, core + halo * radius / (d + radius) + arms, row.out + i * 4);
  }
}

// A disc of full colour, a glow falling as (r/d)² beyond it, and
// striations of the given strength fading out at maxStriationRadius × r,
// sharpened by the contrast (a power of the striation).
void sunbeamsRow(const KernelRow& row) {
  const float cx = row.values[0][0], cy = row.values[0][1];
  const float* color = row.values[1].data();
  const float sun = std::max(1e-3f, row.values[2][0]);
  const float reach = std::max(1e-3f, row.values[2][1] * sun * 4);
  const float strength = row.values[2][2], contrast = row.values[2][3];
  const double time = row.values[3][0];
  const float dy = float(row.y) + 0.5f - cy;
  for (int i = 0; i < row.count; ++i) {
    const float dx = float(row.x + i) + 0.5f - cx;
    const float d = std::sqrt(dx * dx + dy * dy);
    float b = 1;
    if (d > sun + reach) {
      b = (sun * sun) / (d * d);  // beyond the rays: only the glow
    } else if (d > sun) {
      const float fade = clamp01(1 - (d - sun) / reach);
      const float rays = std::pow(striation(std::atan2(dy, dx), time), contrast);
      b = (sun * sun) / (d * d) + strength * rays * fade * fade;
    }
    glowInto(color, b, row.out + i * 4);
  }
}

// A ring of the given radius and width in each of red, green and blue,
// their radii spread apart by (1 − overlap) of the width (as a lens's
// dispersion does), tinted by the colour and streaked by striations.
void lenticularHaloRow(const KernelRow& row) {
  const float cx = row.values[0][0], cy = row.values[0][1];
  const float* color = row.values[1].data();
  const float radius = row.values[2][0], width = std::max(1e-3f, row.values[2][1]);
  const float spread = (1 - clamp01(row.values[2][2])) * width / 2;
  const float strength = row.values[3][0], contrast = row.values[3][1];
  const double time = row.values[3][2];
  const float dy = float(row.y) + 0.5f - cy;
  for (int i = 0; i < row.count; ++i) {
    const float dx = float(row.x + i) + 0.5f - cx;
    const float d = std::sqrt(dx * dx + dy * dy);
    float* out = row.out + i * 4;
    // Three widths beyond the outermost ring, every ring is below 1e-7.
    if (std::fabs(d - radius) > spread + 3 * width) {
      out[0] = out[1] = out[2] = out[3] = 0;
      continue;
    }
    const float streak =
        1 - strength + strength * std::pow(striation(std::atan2(dy, dx), time), contrast);
    float alpha = 0;
    for (int c = 0; c < 3; ++c) {
      const float t = (d - (radius + float(c - 1) * spread)) / (width / 2);
      const float ring = clamp01(std::exp(-2 * t * t) * streak);
      out[c] = color[c] * ring;
      alpha = std::max(alpha, out[c]);
    }
    out[3] = alpha * color[3];
  }
}

Image generate(const QString& kernelName, const QVariantList& arguments) {
  const KernelPtr kernel = builtInKernel(kernelName);
  return kernel ? kernel->apply(arguments) : Image();
}

QVariant vector(const BuiltInFilter& f, std::initializer_list<const char*> keys) {
  std::vector<double> v;
  for (const char* key : keys) v.push_back(f.numberValue(key));
  return QVariant::fromValue(Vector(v.data(), v.size()));
}

Image starShine(const BuiltInFilter& f) {
  return generate(
      "starShine",
      {f.valueForKey(kCIInputCenterKey), f.valueForKey(kCIInputColorKey),
       vector(f, {"inputRadius", "inputCrossScale", "inputCrossAngle", "inputCrossOpacity"}),
       vector(f, {"inputCrossWidth", "inputEpsilon"})});
}

Image sunbeams(const BuiltInFilter& f) {
  return generate("sunbeams", {f.valueForKey(kCIInputCenterKey), f.valueForKey(kCIInputColorKey),
                               vector(f, {"inputSunRadius", "inputMaxStriationRadius",
                                          "inputStriationStrength", "inputStriationContrast"}),
                               f.numberValue("inputTime")});
}

Image lenticularHalo(const BuiltInFilter& f) {
  return generate("lenticularHalo",
                  {f.valueForKey(kCIInputCenterKey), f.valueForKey(kCIInputColorKey),
                   vector(f, {"inputHaloRadius", "inputHaloWidth", "inputHaloOverlap"}),
                   vector(f, {"inputStriationStrength", "inputStriationContrast", "inputTime"})});
}

FilterInput number(const char* key, const QString& type, double defaultValue, double sliderMinimum,
                   double sliderMaximum, const QString& description) {
  FilterInput in = numberInput(key, type, defaultValue, sliderMinimum, sliderMinimum, sliderMaximum,
                               description);
  if (sliderMinimum < 0) in.minimum = QVariant();
  return in;
}

}  // namespace

void registerLightGeneratorFilters(FilterRegistry& registry) {
  Kernel::registerRoutine("starShine", starShineRow);
  Kernel::registerRoutine("sunbeams", sunbeamsRow);
  Kernel::registerRoutine("lenticularHalo", lenticularHaloRow);
  const QStringList generator =
      categories({kCICategoryGenerator, kCICategoryVideo, kCICategoryHighDynamicRange});
  const FilterInput center = vectorInput(kCIInputCenterKey, kCIAttributeTypePosition,
                                         Vector{150, 150}, "The centre of the effect.");
  const FilterInput time =
      number("inputTime", kCIAttributeTypeScalar, 0, 0, 1, "Turns the striations, for animation.");
  const double pi = std::numbers::pi;
  registerDefinitions(
      registry,
      {
          {"CIStarShineGenerator",
           generator,
           "Generates a starburst: a bright core with crossed spikes.",
           {center, colorInput(kCIInputColorKey, Color(1, 0.8, 0.6, 1), "The colour of the star."),
            number("inputRadius", kCIAttributeTypeDistance, 50, 0, 300, "The radius of the core."),
            number("inputCrossScale", kCIAttributeTypeScalar, 15, 0, 100,
                   "How far the spikes reach, in core radii."),
            number("inputCrossAngle", kCIAttributeTypeAngle, 0.6, -pi, pi,
                   "The angle of the spikes."),
            number("inputCrossOpacity", kCIAttributeTypeScalar, -2, -8, 0,
                   "The strength of the spikes (a logarithm)."),
            number("inputCrossWidth", kCIAttributeTypeDistance, 2.5, 0, 300,
                   "The width of the spikes."),
            number("inputEpsilon", kCIAttributeTypeScalar, -2, -8, 0,
                   "The strength of the faint halo (a logarithm).")},
           starShine},
          {"CISunbeamsGenerator",
           generator,
           "Generates a sun with rays.",
           {center, colorInput(kCIInputColorKey, Color(1, 0.5, 0, 1), "The colour of the sun."),
            number("inputSunRadius", kCIAttributeTypeDistance, 40, 0, 800,
                   "The radius of the sun."),
            number("inputMaxStriationRadius", kCIAttributeTypeScalar, 2.58, 0, 10,
                   "How far the rays reach, in sun radii."),
            number("inputStriationStrength", kCIAttributeTypeScalar, 0.5, 0, 3,
                   "The brightness of the rays."),
            number("inputStriationContrast", kCIAttributeTypeScalar, 1.375, 0, 5,
                   "The contrast of the rays."),
            time},
           sunbeams},
          {"CILenticularHaloGenerator",
           generator,
           "Simulates the coloured halo a camera lens makes around a light.",
           {center, colorInput(kCIInputColorKey, Color(1, 0.9, 0.8, 1), "The colour of the halo."),
            number("inputHaloRadius", kCIAttributeTypeDistance, 70, 0, 1000,
                   "The radius of the halo."),
            number("inputHaloWidth", kCIAttributeTypeDistance, 87, 0, 300,
                   "The width of the halo's ring."),
            number("inputHaloOverlap", kCIAttributeTypeScalar, 0.77, 0, 1,
                   "How much the red, green and blue rings overlap."),
            number("inputStriationStrength", kCIAttributeTypeScalar, 0.5, 0, 3,
                   "The strength of the streaks."),
            number("inputStriationContrast", kCIAttributeTypeScalar, 1, 0, 5,
                   "The contrast of the streaks."),
            time},
           lenticularHalo},
      });
}

}  // namespace ci::filters
