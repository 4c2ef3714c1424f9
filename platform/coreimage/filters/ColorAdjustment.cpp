// Colour adjustments: matrix, clamp, polynomial, cross polynomial and tone
// curve. Each works on unpremultiplied colour and premultiplies its result.
#include <cmath>

#include "coreimage/FilterRegistry.h"
#include "coreimage/RowMapNode.h"
#include "coreimage/Vectorize.h"
#include "coreimage/filters/BuiltInFilter.h"
#include "coreimage/filters/FilterFamilies.h"
#include "coreimage/filters/PixelMath.h"

namespace ci::filters {

namespace {

template <typename Adjust>
void adjustRow(const KernelRow& row, Adjust adjust) {
  const float* in = row.samples[0];
  for (int i = 0; i < row.count * 4; i += 4) {
    float c[4], o[4];
    unpremultiply(in + i, c);
    adjust(c, o);
    premultiplyInto(o, row.out + i);
  }
}

// The matrix of every colour layer's adjustment, as one loop the compiler
// turns into packed instructions (the generic per-pixel path is not).
CI_VECTORIZE void colorMatrixPixels(const float* in, const float (&m)[5][4], float* out,
                                    int count) {
  for (int i = 0; i < count * 4; i += 4) {
    const float a = in[i + 3];
    const float k = a > 0 ? 1.0f / a : 0.0f;
    const float c[4] = {in[i] * k, in[i + 1] * k, in[i + 2] * k, a};
    float o[4];
    for (int j = 0; j < 4; ++j)
      o[j] = c[0] * m[j][0] + c[1] * m[j][1] + c[2] * m[j][2] + c[3] * m[j][3] + m[4][j];
    out[i] = o[0] * o[3], out[i + 1] = o[1] * o[3], out[i + 2] = o[2] * o[3], out[i + 3] = o[3];
  }
}

void colorMatrixRow(const KernelRow& row) {
  const auto& v = row.values;  // r, g, b, a, bias
  float m[5][4];
  for (size_t j = 0; j < 5; ++j)
    for (size_t k = 0; k < 4; ++k) m[j][k] = v[j][k];
  colorMatrixPixels(row.samples[0], m, row.out, row.count);
}

void colorClampRow(const KernelRow& row) {
  const auto& lo = row.values[0];
  const auto& hi = row.values[1];
  adjustRow(row, [&](const float* c, float* o) {
    for (size_t k = 0; k < 4; ++k) o[k] = std::clamp(c[k], lo[k], std::max(lo[k], hi[k]));
  });
}

void colorPolynomialRow(const KernelRow& row) {
  const auto& v = row.values;  // red, green, blue, alpha coefficients
  adjustRow(row, [&v](const float* c, float* o) {
    for (size_t k = 0; k < 4; ++k) {
      const float x = c[k];
      o[k] = v[k][0] + x * (v[k][1] + x * (v[k][2] + x * v[k][3]));
    }
  });
}

Image applyColorKernel(const BuiltInFilter& f, const QString& kernelName, const QStringList& keys) {
  const Image image = f.imageValue(kCIInputImageKey);
  const KernelPtr kernel = builtInKernel(kernelName);
  if (image.isNull() || !kernel) return {};
  QVariantList arguments{QVariant::fromValue(image)};
  for (const QString& key : keys) arguments << QVariant::fromValue(f.vectorValue(key));
  return kernel->apply(arguments);
}

Image colorMatrix(const BuiltInFilter& f) {
  return applyColorKernel(
      f, "colorMatrix",
      {"inputRVector", "inputGVector", "inputBVector", "inputAVector", "inputBiasVector"});
}

Image colorClamp(const BuiltInFilter& f) {
  return applyColorKernel(f, "colorClamp", {"inputMinComponents", "inputMaxComponents"});
}

Image colorPolynomial(const BuiltInFilter& f) {
  return applyColorKernel(f, "colorPolynomial",
                          {"inputRedCoefficients", "inputGreenCoefficients",
                           "inputBlueCoefficients", "inputAlphaCoefficients"});
}

// Each colour component is a dot product of ten coefficients with
// (r, g, b, r², g², b², rg, gb, br, 1); alpha is kept.
Image colorCrossPolynomial(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return {};
  std::array<std::array<float, 10>, 3> coefficients;
  const char* keys[3] = {"inputRedCoefficients", "inputGreenCoefficients", "inputBlueCoefficients"};
  for (size_t k = 0; k < 3; ++k) {
    const Vector v = f.vectorValue(keys[k]);
    for (size_t i = 0; i < 10; ++i) coefficients[k][i] = float(v.valueAtIndex(i));
  }
  return Image(std::make_shared<RowMapNode>(image, [coefficients](float* p, int count) {
    for (int i = 0; i < count; ++i, p += 4) {
      float c[4], o[4];
      unpremultiply(p, c);
      const float terms[10] = {c[0],        c[1],        c[2],        c[0] * c[0], c[1] * c[1],
                               c[2] * c[2], c[0] * c[1], c[1] * c[2], c[2] * c[0], 1.0f};
      for (size_t k = 0; k < 3; ++k) {
        o[k] = 0;
        for (size_t t = 0; t < 10; ++t) o[k] += coefficients[k][t] * terms[t];
      }
      o[3] = c[3];
      premultiplyInto(o, p);
    }
  }));
}

// A natural cubic spline through the points (sorted by x), flat outside them.
class ToneSpline {
 public:
  explicit ToneSpline(std::vector<QPointF> points) : p_(std::move(points)) {
    std::sort(p_.begin(), p_.end(),
              [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    const size_t n = p_.size();
    m_.assign(n, 0.0);
    if (n < 3) return;
    // Tridiagonal system for the second derivatives, ends fixed at zero.
    std::vector<double> c(n, 0.0), d(n, 0.0);
    for (size_t i = 1; i + 1 < n; ++i) {
      const double h0 = p_[i].x() - p_[i - 1].x(), h1 = p_[i + 1].x() - p_[i].x();
      if (h0 <= 0 || h1 <= 0) continue;
      const double rhs = 6 * ((p_[i + 1].y() - p_[i].y()) / h1 - (p_[i].y() - p_[i - 1].y()) / h0);
      const double diag = 2 * (h0 + h1) - h0 * c[i - 1];
      c[i] = h1 / diag;
      d[i] = (rhs - h0 * d[i - 1]) / diag;
    }
    for (size_t i = n - 2; i >= 1; --i) m_[i] = d[i] - c[i] * m_[i + 1];
  }

  double operator()(double x) const {
    if (p_.empty()) return x;
    if (x <= p_.front().x()) return p_.front().y();
    if (x >= p_.back().x()) return p_.back().y();
    size_t i = 1;
    while (p_[i].x() < x) ++i;
    const double h = p_[i].x() - p_[i - 1].x();
    if (h <= 0) return p_[i].y();
    const double a = (p_[i].x() - x) / h, b = 1 - a;
    return a * p_[i - 1].y() + b * p_[i].y() +
           ((a * a * a - a) * m_[i - 1] + (b * b * b - b) * m_[i]) * h * h / 6;
  }

 private:
  std::vector<QPointF> p_;
  std::vector<double> m_;
};

Image toneCurve(const BuiltInFilter& f) {
  const Image image = f.imageValue(kCIInputImageKey);
  if (image.isNull()) return {};
  std::vector<QPointF> points;
  for (int i = 0; i < 5; ++i)
    points.push_back(f.vectorValue(QStringLiteral("inputPoint%1").arg(i)).CGPointValue());
  const ToneSpline spline(points);
  // A table fine enough that linear interpolation between entries is exact
  // for 8-bit output.
  constexpr int kSteps = 1024;
  auto table = std::make_shared<std::vector<float>>(kSteps + 1);
  for (int i = 0; i <= kSteps; ++i) (*table)[size_t(i)] = float(spline(double(i) / kSteps));
  return Image(std::make_shared<RowMapNode>(image, [table](float* p, int count) {
    const std::vector<float>& t = *table;
    for (int i = 0; i < count; ++i, p += 4) {
      float c[4];
      unpremultiply(p, c);
      for (int k = 0; k < 3; ++k) {
        const float x = clamp01(c[k]) * kSteps;
        const int j = std::min(int(x), kSteps - 1);
        c[k] = t[size_t(j)] + (t[size_t(j) + 1] - t[size_t(j)]) * (x - float(j));
      }
      premultiplyInto(c, p);
    }
  }));
}

// A curve point whose default lies on the diagonal, so the defaults together leave
// colours unchanged.
FilterInput curvePoint(int index, double at, const QString& description) {
  FilterInput in = vectorInput(QStringLiteral("inputPoint%1").arg(index), kCIAttributeTypeOffset,
                               Vector{at, at}, description);
  in.identity = in.defaultValue;
  return in;
}

FilterInput vector4(const QString& key, const Vector& value, const QString& description) {
  FilterInput in = vectorInput(key, QString(), value, description);
  in.identity = in.defaultValue;
  return in;
}

Vector unitVector(size_t count, size_t one) {
  std::vector<double> v(count, 0.0);
  if (one < count) v[one] = 1.0;
  return Vector(v.data(), v.size());
}

}  // namespace

void registerColorAdjustmentFilters(FilterRegistry& registry) {
  Kernel::registerRoutine(QStringLiteral("colorMatrix"), colorMatrixRow);
  Kernel::registerRoutine(QStringLiteral("colorClamp"), colorClampRow);
  Kernel::registerRoutine(QStringLiteral("colorPolynomial"), colorPolynomialRow);
  registerColorToneFilters(registry);
  const QStringList adjustment =
      categories({kCICategoryColorAdjustment, kCICategoryVideo, kCICategoryInterlaced,
                  kCICategoryNonSquarePixels, kCICategoryHighDynamicRange});
  const FilterInput image = imageInput(kCIInputImageKey, "The image to use as an input image.");
  registerDefinitions(
      registry,
      {
          {"CIColorMatrix",
           adjustment,
           "Multiplies colour components by a matrix and adds a bias vector.",
           {image,
            vector4("inputRVector", Vector{1, 0, 0, 0}, "The amount of each component in red."),
            vector4("inputGVector", Vector{0, 1, 0, 0}, "The amount of each component in green."),
            vector4("inputBVector", Vector{0, 0, 1, 0}, "The amount of each component in blue."),
            vector4("inputAVector", Vector{0, 0, 0, 1}, "The amount of each component in alpha."),
            vector4("inputBiasVector", Vector{0, 0, 0, 0}, "A vector added to each result.")},
           colorMatrix},
          {"CIColorClamp",
           adjustment,
           "Clamps each colour component to a range.",
           {image, vector4("inputMinComponents", Vector{0, 0, 0, 0}, "The lower bounds."),
            vector4("inputMaxComponents", Vector{1, 1, 1, 1}, "The upper bounds.")},
           colorClamp},
          {"CIColorPolynomial",
           adjustment,
           "Maps each colour component through a cubic polynomial of its own.",
           {image, vector4("inputRedCoefficients", Vector{0, 1, 0, 0}, "Red coefficients."),
            vector4("inputGreenCoefficients", Vector{0, 1, 0, 0}, "Green coefficients."),
            vector4("inputBlueCoefficients", Vector{0, 1, 0, 0}, "Blue coefficients."),
            vector4("inputAlphaCoefficients", Vector{0, 1, 0, 0}, "Alpha coefficients.")},
           colorPolynomial},
          {"CIColorCrossPolynomial",
           adjustment,
           "Maps each colour component through a polynomial of all three colour components.",
           {image, vector4("inputRedCoefficients", unitVector(10, 0), "Red coefficients."),
            vector4("inputGreenCoefficients", unitVector(10, 1), "Green coefficients."),
            vector4("inputBlueCoefficients", unitVector(10, 2), "Blue coefficients.")},
           colorCrossPolynomial},
          {"CIToneCurve",
           adjustment,
           "Maps luminance through a curve through five points (a spline).",
           {image, curvePoint(0, 0, "The first point."), curvePoint(1, 0.25, "The second point."),
            curvePoint(2, 0.5, "The third point."), curvePoint(3, 0.75, "The fourth point."),
            curvePoint(4, 1, "The fifth point.")},
           toneCurve},
      });
}

}  // namespace ci::filters
