// A libtiff handle over bytes in memory, with libtiff's errors and warnings
// collected here instead of printed. Internal to the graphics library.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdarg>

typedef struct tiff TIFF;

namespace gfx {

class TIFFMemoryFile {
 public:
  // Reads `data` (kept by reference; it must outlive this object).
  static bool isTIFF(const QByteArray& data);
  explicit TIFFMemoryFile(const QByteArray& data);
  // Writes into a buffer of its own; take it with bytes() after close().
  TIFFMemoryFile();
  ~TIFFMemoryFile();
  TIFFMemoryFile(const TIFFMemoryFile&) = delete;
  TIFFMemoryFile& operator=(const TIFFMemoryFile&) = delete;

  TIFF* handle() const { return tiff_; }
  void close();
  const QByteArray& bytes() const { return *buffer_; }
  // The first error libtiff reported, if any.
  QString errorMessage() const { return error_; }

 private:
  static int onError(TIFF*, void* self, const char* module, const char* format, va_list args);
  static int onWarning(TIFF*, void*, const char*, const char*, va_list);
  void open(const char* mode);

  friend struct TIFFMemoryIO;
  TIFF* tiff_ = nullptr;
  QByteArray owned_;
  const QByteArray* buffer_;
  bool writable_;
  qint64 position_ = 0;
  QString error_;
};

}  // namespace gfx
