#include "imageio/DecodeBudget.h"

#include <algorithm>

#include "foundation/Localized.h"

namespace io {

namespace {

uint64_t saturatingProduct(uint64_t a, uint64_t b) {
  uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

uint64_t capacityFor(const ImageLimits& limits, int bytesPerPixel) {
  uint64_t output = saturatingProduct(limits.maxPixelCount, uint64_t(std::max(bytesPerPixel, 4)));
  return std::min(output, UINT64_MAX - DecodeBudget::kWorkingBytes) + DecodeBudget::kWorkingBytes;
}

}  // namespace

DecodeBudget::DecodeBudget(const ImageLimits& limits, const QString& formatName)
    : limits_(limits), formatName_(formatName), capacity_(capacityFor(limits, 4)) {}

bool DecodeBudget::admitImage(int64_t width, int64_t height, QImage::Format format,
                              fnd::Error* error) {
  if (!limits_.check(width, height, formatName_, error)) return false;
  int bytesPerPixel = QImage::toPixelFormat(format).bitsPerPixel() / 8;
  capacity_ = std::max(capacity_, capacityFor(limits_, bytesPerPixel));
  return true;
}

bool DecodeBudget::reserveImage(int64_t width, int64_t height, QImage::Format format,
                                fnd::Error* error) {
  return admitImage(width, height, format, error) &&
         reserve(imageBytes(width, height, format), error);
}

uint64_t DecodeBudget::imageBytes(int64_t width, int64_t height, QImage::Format format) {
  // QImage rows start on 32-bit boundaries.
  uint64_t bits =
      uint64_t(std::max<int64_t>(width, 0)) * QImage::toPixelFormat(format).bitsPerPixel();
  return (bits + 31) / 32 * 4 * uint64_t(std::max<int64_t>(height, 0));
}

bool DecodeBudget::reserve(uint64_t bytes, fnd::Error* error) {
  if (bytes <= available()) {
    used_ += bytes;
    peak_ = std::max(peak_, used_);
    return true;
  }
  constexpr double kMiB = 1024.0 * 1024.0;
  refusal_ = fnd::Error(
      fnd::CocoaErrorDomain, fnd::FileReadTooLargeError,
      {{fnd::LocalizedDescriptionKey,
        fnd::localized("The %1 image needs more memory to open than the limits allow (%2 MB "
                       "more, with %3 MB of %4 MB in use).")
            .arg(formatName_)
            .arg(double(bytes) / kMiB, 0, 'f', 1)
            .arg(double(used_) / kMiB, 0, 'f', 1)
            .arg(double(capacity_) / kMiB, 0, 'f', 1)}});
  return failWithRefusal(error);
}

void DecodeBudget::release(uint64_t bytes) { used_ -= std::min(bytes, used_); }

bool DecodeBudget::failWithRefusal(fnd::Error* error) const { return fnd::fail(error, refusal_); }

}  // namespace io
