#include "imageio/TIFFMemoryStream.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace io {

// libtiff's client procedures, reading or growing the stream at its position.
struct TIFFMemoryProcs {
  static TIFFMemoryStream* of(thandle_t handle) { return static_cast<TIFFMemoryStream*>(handle); }

  static tmsize_t read(thandle_t handle, void* buffer, tmsize_t count) {
    TIFFMemoryStream* s = of(handle);
    if (s->sink_ || count <= 0 || s->position_ >= s->size_) return 0;
    uint64_t available = std::min<uint64_t>(uint64_t(count), s->size_ - s->position_);
    // libtiff reads back what it wrote when it links a new directory.
    const char* bytes = s->written_ ? s->written_->constData() + s->base_ : s->data_;
    std::memcpy(buffer, bytes + s->position_, available);
    s->position_ += available;
    return tmsize_t(available);
  }

  static tmsize_t write(thandle_t handle, void* buffer, tmsize_t count) {
    TIFFMemoryStream* s = of(handle);
    if (s->sink_ && count >= 0) return s->writeToSink(buffer, count);
    if (!s->written_ || count < 0) return -1;
    QByteArray& bytes = *s->written_;
    const qsizetype end = s->base_ + qsizetype(s->position_) + qsizetype(count);
    if (end > bytes.size()) {
      if (end > bytes.capacity()) bytes.reserve(std::max(end, bytes.capacity() * 2));
      bytes.resize(end);  // new bytes are left uninitialised, not cleared
    }
    char* file = bytes.data() + s->base_;
    // libtiff seeks past the end to align a directory; the gap is zeros.
    if (s->position_ > s->size_) std::memset(file + s->size_, 0, s->position_ - s->size_);
    if (file + s->position_ != buffer) std::memcpy(file + s->position_, buffer, size_t(count));
    s->position_ += uint64_t(count);
    s->size_ = std::max(s->size_, s->position_);
    return count;
  }

  static toff_t seek(thandle_t handle, toff_t offset, int whence) {
    TIFFMemoryStream* s = of(handle);
    uint64_t base = whence == SEEK_CUR ? s->position_ : whence == SEEK_END ? s->size_ : 0;
    s->position_ = base + offset;
    return s->position_;
  }

  static int close(thandle_t) { return 0; }
  static toff_t size(thandle_t handle) { return of(handle)->size_; }

  static int map(thandle_t handle, void** base, toff_t* size) {
    TIFFMemoryStream* s = of(handle);
    if (s->written_ || s->sink_) return 0;
    *base = const_cast<char*>(s->data_);
    *size = s->size_;
    return 1;
  }

  static void unmap(thandle_t, void*, toff_t) {}

  static int onError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    TIFFMemoryStream* s = of(user);
    if (s->message_[0]) return 1;  // the first error is the cause; later ones follow from it
    int used = std::snprintf(s->message_, sizeof s->message_, "%s: ", module ? module : "libtiff");
    std::vsnprintf(s->message_ + used, sizeof s->message_ - size_t(used), format, args);
    return 1;
  }

  static int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }
};

TIFFMemoryStream::TIFFMemoryStream(const char* data, uint64_t size) : data_(data), size_(size) {}

TIFFMemoryStream::TIFFMemoryStream(QByteArray* output, qsizetype offset)
    : written_(output), base_(offset) {
  output->resize(offset);
}

TIFFMemoryStream::TIFFMemoryStream(QIODevice* sink) : sink_(sink) {}

TIFFMemoryStream::~TIFFMemoryStream() { discard(); }

TIFF* TIFFMemoryStream::open(const char* mode, tmsize_t maxAllocation) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, &TIFFMemoryProcs::onError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, &TIFFMemoryProcs::onWarning, this);
  if (maxAllocation > 0) TIFFOpenOptionsSetMaxSingleMemAlloc(options, maxAllocation);
  tiff_ = TIFFClientOpenExt("memory", mode, this, &TIFFMemoryProcs::read, &TIFFMemoryProcs::write,
                            &TIFFMemoryProcs::seek, &TIFFMemoryProcs::close, &TIFFMemoryProcs::size,
                            &TIFFMemoryProcs::map, &TIFFMemoryProcs::unmap, options);
  TIFFOpenOptionsFree(options);
  return tiff_;
}

char* TIFFMemoryStream::roomAtEnd(qsizetype count) {
  if (!written_) return nullptr;
  const qsizetype end = base_ + qsizetype(size_);
  // A directory follows the room; making space for it now keeps the bytes
  // from being moved to append a few hundred more.
  constexpr qsizetype kDirectory = 4096;
  if (end + count + kDirectory > written_->capacity()) written_->reserve(end + count + kDirectory);
  written_->resize(std::max(written_->size(), end + count));
  return written_->data() + end;
}

bool TIFFMemoryStream::close() {
  if (tiff_) TIFFClose(tiff_);
  tiff_ = nullptr;
  trimToFile();
  return !hasMessage();
}

tmsize_t TIFFMemoryStream::writeToSink(const void* buffer, tmsize_t count) {
  // libtiff seeks past the end to align a directory; the gap is zeros.
  const QByteArray gap(position_ > size_ ? qsizetype(position_ - size_) : 0, '\0');
  const bool ok = sink_->seek(qint64(position_ - uint64_t(gap.size()))) &&
                  sink_->write(gap) == gap.size() &&
                  sink_->write(static_cast<const char*>(buffer), count) == count;
  if (!ok) {
    setMessage("the file could not be written");
    return -1;
  }
  position_ += uint64_t(count);
  size_ = std::max(size_, position_);
  return count;
}

void TIFFMemoryStream::discard() {
  if (tiff_) TIFFCleanup(tiff_);
  tiff_ = nullptr;
  trimToFile();
}

void TIFFMemoryStream::trimToFile() {
  if (written_ && written_->size() > base_ + qsizetype(size_))
    written_->resize(base_ + qsizetype(size_));
}

QString TIFFMemoryStream::message(const char* fallback) const {
  return QString::fromUtf8(message_[0] ? message_ : fallback);
}

void TIFFMemoryStream::setMessage(const char* text) {
  if (!message_[0]) std::snprintf(message_, sizeof message_, "%s", text);
}

}  // namespace io
