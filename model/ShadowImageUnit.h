#pragma once

#include <QVariantMap>

#include "coreimage/Color.h"
#include "coreimage/Filter.h"
#include "coreimage/Kernel.h"
#include "foundation/Error.h"

// "Shadow": the input image drawn over a blurred silhouette of itself in the
// shadow colour, shifted by (inputShadowDeltaX, inputShadowDeltaY). The
// silhouette comes from the coloured-mask kernel, read once per process from
// the resource "TSColoredMaskUnitFilterKernel" and shared by every instance.
//
// When that kernel cannot be made (resource missing, unreadable or not a
// usable kernel) the filter logs why and passes its input image through
// unchanged: the layer keeps drawing, without a shadow.
class ShadowImageUnit : public ci::Filter {
 public:
  // Loads the class-wide kernel when it is not loaded yet.
  ShadowImageUnit();

  static void registerFilter();
  static QVariantMap classAttributes();

  // Where the kernel source lives among the program's resources.
  static QString kernelResourcePath();
  // The class-wide kernel; null when it could not be made.
  static ci::KernelPtr kernel();
  // The coloured-mask kernel declared by the source text in `path`; null,
  // with `error` filled, when the file is missing or unreadable, is not
  // UTF-8, or declares no kernel with a sampler and a colour parameter.
  static ci::KernelPtr kernelWithContentsOfFile(const QString& path, fnd::Error* error = nullptr);

  ci::Image inputImage() const;
  void setInputImage(const ci::Image& image);
  double inputShadowDeltaX() const;
  void setInputShadowDeltaX(double dx);
  double inputShadowDeltaY() const;
  void setInputShadowDeltaY(double dy);
  double inputBlurRadius() const;
  void setInputBlurRadius(double radius);
  ci::Color inputShadowColor() const;
  void setInputShadowColor(const ci::Color& color);

  // The slider ranges, defaults, identities, types, display names and
  // descriptions of the four inputs beside the image.
  virtual QVariantMap customAttributes() const;

  ci::Image outputImage() const override;

 protected:
  // An instance drawing its silhouettes with `kernel` instead of the
  // class-wide one; a null kernel gives the pass-through described above.
  explicit ShadowImageUnit(ci::KernelPtr kernel);

 private:
  ci::Image coloredMask(const ci::Image& shifted) const;

  ci::KernelPtr kernel_;
};
