// How large an image a source agrees to decode. Checked against the size a
// file's header claims, before any pixel memory is allocated, so a hostile
// header cannot make the program reserve gigabytes; the pixel count also
// sizes each decode's memory budget (DecodeBudget), which bounds the
// intermediates as well.
#pragma once

#include <QString>
#include <cstdint>

namespace fnd {
class Error;
}

namespace io {

struct ImageLimits {
  uint64_t maxPixelCount = uint64_t(1) << 28;
  uint32_t maxSide = uint32_t(1) << 16;

  // True when a `width`×`height` image may be decoded; otherwise fills
  // `error` with a FileReadTooLargeError naming the format and the size.
  bool check(int64_t width, int64_t height, const QString& formatName, fnd::Error* error) const;
};

}  // namespace io
