// Per-pixel programs (the CIKernel role). A kernel is made from source text
// that declares the routine and its parameters, e.g.
//   kernel vec4 colorMatrix(__sample s, vec4 r, vec4 g, vec4 b, vec4 a, vec4 bias);
// The routine itself is C++ registered under the same name; it is called
// once per output row. A kernel whose parameters are only `__sample`
// images and values is a colour kernel (it sees the input pixel at the same
// place); one with `sampler` parameters is a general kernel that may read
// its inputs anywhere inside a region of interest it declares.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "coreimage/Image.h"
#include "coreimage/Sampler.h"
#include "foundation/Error.h"

namespace ci {

enum class KernelParameterType { Sample, Sampler, Float, Vec2, Vec3, Vec4, Color };

struct KernelParameter {
  KernelParameterType type;
  QString name;
  bool isImage() const {
    return type == KernelParameterType::Sample || type == KernelParameterType::Sampler;
  }
};

// One output row handed to a routine: pixels (x + i, y) for i < count, whose
// centres are at (x + i + ½, y + ½).
struct KernelRow {
  int x = 0, y = 0, count = 0;
  float* out = nullptr;                      // count premultiplied RGBA pixels
  std::vector<const float*> samples;         // each __sample input, aligned with out
  std::vector<const SamplerView*> samplers;  // each sampler input
  std::vector<std::array<float, 4>> values;  // each value parameter (colours premultiplied)
};

using KernelRoutine = std::function<void(const KernelRow& row)>;
// The region of image argument `index` (counting image arguments only) the
// kernel reads to produce `destination`.
using RegionOfInterestCallback = std::function<QRectF(int index, const QRectF& destination)>;

// Apply options: the output's extent given as an image (its extent) or a
// rectangle vector; kCIApplyOptionExtent takes a rectangle vector.
inline const QString kCIApplyOptionDefinition = QStringLiteral("definition");
inline const QString kCIApplyOptionExtent = QStringLiteral("extent");

class Kernel;
using KernelPtr = std::shared_ptr<const Kernel>;

class Kernel {
 public:
  // Null (with `error` filled) when the text declares no kernel, a
  // parameter type is unknown or no routine is registered under the name.
  static KernelPtr kernelWithString(const QString& source, fnd::Error* error = nullptr);
  static QList<KernelPtr> kernelsWithString(const QString& source, fnd::Error* error = nullptr);
  // Registers (or replaces) the C++ body of kernels named `name`.
  static void registerRoutine(const QString& name, KernelRoutine routine);

  const QString& name() const { return name_; }
  const QList<KernelParameter>& parameters() const { return parameters_; }
  bool isColorKernel() const;

  // Null when the arguments do not match the parameters in number or kind.
  // The default extent is the intersection of the image arguments' extents
  // (infinite without images) for colour kernels, their union for general ones.
  Image apply(const QVariantList& arguments, const QVariantMap& options = {}) const;
  Image applyWithExtent(const QRectF& extent, const QVariantList& arguments) const;
  Image applyWithExtent(const QRectF& extent, const RegionOfInterestCallback& roi,
                        const QVariantList& arguments) const;

  Kernel(QString name, QList<KernelParameter> parameters, KernelRoutine routine);

 private:
  QRectF defaultExtent(const std::vector<Image>& images) const;

  QString name_;
  QList<KernelParameter> parameters_;
  KernelRoutine routine_;
};

}  // namespace ci
