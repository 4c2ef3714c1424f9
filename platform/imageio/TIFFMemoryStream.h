// A TIFF file in memory as libtiff's client procedures see it, and the
// libtiff handle open on it. Reading borrows the caller's bytes and maps
// them, so strips decode without being copied; writing fills a byte array
// the caller owns, after any bytes it keeps in front of the file, and bytes
// a seek skips read as zeros, as in a file on disk. libtiff's first error
// message is kept for the Error of the call that caused it. A stream
// writing to a sink device hands every byte straight on and holds none.
#pragma once

#include <tiffio.h>

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace io {

class TIFFMemoryStream {
 public:
  // Reads `size` bytes at `data`, which must outlive the stream.
  TIFFMemoryStream(const char* data, uint64_t size);
  // Writes into `output` (which must outlive the stream) after its first
  // `offset` bytes, which are kept; file offsets count from there.
  explicit TIFFMemoryStream(QByteArray* output, qsizetype offset = 0);
  // Writes into `sink` (open for writing and seekable), which must outlive
  // the stream. For files of one directory: nothing written is read back.
  explicit TIFFMemoryStream(QIODevice* sink);
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
  // reading or writing to a sink.
  char* roomAtEnd(qsizetype count);
  bool writesToSink() const { return sink_ != nullptr; }

  // Finishes the file (writing any pending directory) and frees the handle;
  // false when libtiff or the sink failed.
  bool close();
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
  QIODevice* sink_ = nullptr;
  TIFF* tiff_ = nullptr;
  char message_[1024] = {};

  // Drops room given out but never written, once libtiff is done.
  void trimToFile();
  tmsize_t writeToSink(const void* buffer, tmsize_t count);
};

}  // namespace io
