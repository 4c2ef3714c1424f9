#include "imageio/ImageLimits.h"

#include "foundation/Error.h"
#include "foundation/Localized.h"

namespace io {

bool ImageLimits::check(int64_t width, int64_t height, const QString& formatName,
                        fnd::Error* error) const {
  if (width <= 0 || height <= 0)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError,
                     fnd::localized("The %1 file claims an empty image (%2 × %3 pixels).")
                         .arg(formatName)
                         .arg(width)
                         .arg(height));
  bool tooLarge = uint64_t(width) > maxSide || uint64_t(height) > maxSide ||
                  uint64_t(width) * uint64_t(height) > maxPixelCount;
  if (tooLarge)
    return fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileReadTooLargeError,
                     fnd::localized("The %1 image is too large to open (%2 × %3 pixels; the "
                                    "limit is %4 pixels and %5 pixels a side).")
                         .arg(formatName)
                         .arg(width)
                         .arg(height)
                         .arg(maxPixelCount)
                         .arg(maxSide));
  return true;
}

}  // namespace io
