// A TIFF file in memory as libtiff's client procedures see it, and the
// libtiff handle open on it. Reading borrows the caller's bytes and maps
// them, so strips decode without being copied; writing fills a byte array
// the caller owns, after any bytes it keeps in front of the file, and bytes
// a seek skips read as zeros, as in a file on disk. libtiff's first error
// message is kept for the Error of the call that caused it.
#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <QString>

namespace io {

class TIFFMemoryStream {
 public:
  // Reads `size` bytes at `data`, which must outlive the stream.
  TIFFMemoryStream(const char* data, uint64_t size);
  // Writes into `output` (which must outlive the stream) after its first
  // `offset` bytes, which are kept; file offsets count from there.
  explicit TIFFMemoryStream(QByteArray* output, qsizetype offset = 0);
  ~TIFFMemoryStream();
  TIFFMemoryStream(const TIFFMemoryStream&) = delete;
  TIFFMemoryStream& operator=(const TIFFMemoryStream&) = delete;

  // Opens libtiff on the stream ("r" or "w"); null on failure. A positive
  // `maxAllocation` bounds each single allocation libtiff makes.
  TIFF* open(const char* mode, tmsize_t maxAllocation = 0);
  TIFF* handle() const { return tiff_; }
  // The file's length so far.
  uint64_t fileSize() const { return size_; }
  // Room for `count` bytes after the end of the file (and for a directory
  // after them), for the caller to fill, from any thread, before libtiff
  // writes them there: a write of bytes already in their place copies
  // nothing. Valid until the next write that goes beyond it; null when
  // reading.
  char* roomAtEnd(qsizetype count);

  // Finishes the file (writing any pending directory) and frees the handle.
  void close();
  // Frees the handle without writing anything more.
  void discard();

  // The first error libtiff reported, else `fallback`.
  QString message(const char* fallback) const;
  void setMessage(const char* text);
  bool hasMessage() const { return message_[0] != 0; }

 private:
  friend struct TIFFMemoryProcs;
  const char* data_ = nullptr;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  QByteArray* written_ = nullptr;
  qsizetype base_ = 0;
  TIFF* tiff_ = nullptr;
  char message_[1024] = {};

  // Drops room given out but never written, once libtiff is done.
  void trimToFile();
};

}  // namespace io
