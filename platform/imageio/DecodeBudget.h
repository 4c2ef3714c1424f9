// The memory one decode may hold. Every canvas and every buffer whose size a
// file decides is reserved here before it is allocated and released when it
// is freed, so the limits bound what a decode costs with its intermediates:
// at most one copy of the largest output the limits allow, plus a small
// working allowance for rows and decoder state. One decode, one thread.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

#include "foundation/Error.h"
#include "imageio/ImageLimits.h"

namespace io {

class DecodeBudget {
 public:
  // Room for rows, tables and library state beyond the one output copy.
  static constexpr uint64_t kWorkingBytes = uint64_t(16) << 20;

  explicit DecodeBudget(const ImageLimits& limits = {},
                        const QString& formatName = QStringLiteral("image"));

  // Checks `width`×`height` against the limits and sizes the budget for
  // outputs of the format's depth (at least 4 bytes a pixel), for outputs a
  // library allocates itself. False with a FileReadTooLargeError otherwise.
  bool admitImage(int64_t width, int64_t height, QImage::Format format, fnd::Error* error);
  // The output image: checks `width`×`height` against the limits, sizes the
  // budget for outputs of the format's depth (at least 4 bytes a pixel), and
  // reserves the image's bytes. False with a FileReadTooLargeError otherwise.
  bool reserveImage(int64_t width, int64_t height, QImage::Format format, fnd::Error* error);
  // The bytes a `width`×`height` QImage of `format` holds.
  static uint64_t imageBytes(int64_t width, int64_t height, QImage::Format format);
  // Any other allocation. A refusal is remembered (see refusal()), so a
  // library whose allocator was refused can report it afterwards.
  bool reserve(uint64_t bytes, fnd::Error* error = nullptr);
  void release(uint64_t bytes);

  uint64_t capacity() const { return capacity_; }
  uint64_t used() const { return used_; }
  uint64_t available() const { return capacity_ - used_; }
  // The most held at once since construction.
  uint64_t peak() const { return peak_; }

  const ImageLimits& limits() const { return limits_; }
  const QString& formatName() const { return formatName_; }
  void setFormatName(const QString& name) { formatName_ = name; }

  // Whether a reservation was refused. A codec whose library failed after
  // its allocator was refused reports the refusal, not the library's words.
  bool wasRefused() const { return !refusal_.isNull(); }
  // Fills `error` with the refusal; returns false.
  bool failWithRefusal(fnd::Error* error) const;

 private:
  ImageLimits limits_;
  QString formatName_;
  uint64_t capacity_;
  uint64_t used_ = 0;
  uint64_t peak_ = 0;
  fnd::Error refusal_;
};

// A reservation released when it goes out of scope, for buffers that live
// only while a decode runs.
class ScopedReservation {
 public:
  ScopedReservation(DecodeBudget* budget) : budget_(budget) {}
  ~ScopedReservation() {
    if (bytes_) budget_->release(bytes_);
  }
  ScopedReservation(const ScopedReservation&) = delete;
  ScopedReservation& operator=(const ScopedReservation&) = delete;

  bool reserve(uint64_t bytes, fnd::Error* error = nullptr) {
    if (!budget_->reserve(bytes, error)) return false;
    bytes_ += bytes;
    return true;
  }

 private:
  DecodeBudget* budget_;
  uint64_t bytes_ = 0;
};

}  // namespace io
