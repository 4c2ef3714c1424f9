#include "graphics/TIFFMemoryFile.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstring>

namespace gfx {

// libtiff's client callbacks, reading or growing the buffer at a position.
struct TIFFMemoryIO {
  static TIFFMemoryFile* file(thandle_t handle) { return static_cast<TIFFMemoryFile*>(handle); }

  static tmsize_t read(thandle_t handle, void* data, tmsize_t size) {
    TIFFMemoryFile* f = file(handle);
    qint64 available = std::max<qint64>(0, f->buffer_->size() - f->position_);
    qint64 count = std::min<qint64>(size, available);
    if (count > 0) std::memcpy(data, f->buffer_->constData() + f->position_, size_t(count));
    f->position_ += count;
    return tmsize_t(count);
  }

  static tmsize_t write(thandle_t handle, void* data, tmsize_t size) {
    TIFFMemoryFile* f = file(handle);
    if (!f->writable_) return 0;
    qint64 end = f->position_ + size;
    if (end > f->owned_.size()) f->owned_.resize(end);
    std::memcpy(f->owned_.data() + f->position_, data, size_t(size));
    f->position_ = end;
    return size;
  }

  static toff_t seek(thandle_t handle, toff_t offset, int whence) {
    TIFFMemoryFile* f = file(handle);
    qint64 base = whence == SEEK_CUR ? f->position_ : whence == SEEK_END ? f->buffer_->size() : 0;
    qint64 target = base + qint64(offset);
    if (target < 0) return toff_t(-1);
    f->position_ = target;
    return toff_t(target);
  }

  static int close(thandle_t) { return 0; }
  static toff_t size(thandle_t handle) { return toff_t(file(handle)->buffer_->size()); }
  static int map(thandle_t, void**, toff_t*) { return 0; }
  static void unmap(thandle_t, void*, toff_t) {}
};

bool TIFFMemoryFile::isTIFF(const QByteArray& data) {
  return data.startsWith(QByteArray("II*\0", 4)) || data.startsWith(QByteArray("MM\0*", 4)) ||
         data.startsWith(QByteArray("II+\0", 4)) || data.startsWith(QByteArray("MM\0+", 4));
}

TIFFMemoryFile::TIFFMemoryFile(const QByteArray& data) : buffer_(&data), writable_(false) {
  open("rm");  // "m": no memory mapping, our callbacks serve every read
}

TIFFMemoryFile::TIFFMemoryFile() : buffer_(&owned_), writable_(true) { open("w"); }

TIFFMemoryFile::~TIFFMemoryFile() { close(); }

void TIFFMemoryFile::open(const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, &TIFFMemoryFile::onError, this);
  TIFFOpenOptionsSetWarningHandlerExtR(options, &TIFFMemoryFile::onWarning, this);
  // Refuse single allocations beyond 1 GiB: corrupt headers ask for more.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(1) << 30);
  tiff_ = TIFFClientOpenExt("memory", mode, this, &TIFFMemoryIO::read, &TIFFMemoryIO::write,
                            &TIFFMemoryIO::seek, &TIFFMemoryIO::close, &TIFFMemoryIO::size,
                            &TIFFMemoryIO::map, &TIFFMemoryIO::unmap, options);
  TIFFOpenOptionsFree(options);
}

void TIFFMemoryFile::close() {
  if (tiff_) TIFFClose(tiff_);
  tiff_ = nullptr;
}

int TIFFMemoryFile::onError(TIFF*, void* self, const char* module, const char* format,
                            va_list args) {
  auto* file = static_cast<TIFFMemoryFile*>(self);
  if (file->error_.isEmpty()) {
    char message[512];
    std::vsnprintf(message, sizeof message, format, args);
    file->error_ = QString::fromUtf8(module ? module : "TIFF") + QStringLiteral(": ") +
                   QString::fromUtf8(message);
  }
  return 1;  // handled: libtiff prints nothing
}

int TIFFMemoryFile::onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace gfx
