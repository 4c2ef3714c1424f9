#include "imageio/TIFFStripWriter.h"

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "foundation/WorkerPool.h"
#include "imageio/TIFFMemoryStream.h"

namespace io {
namespace {

// The fields a strip's own encoder needs to produce the directory's bytes.
struct StripFormat {
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  uint16_t bitsPerSample = 8, samplesPerPixel = 1, photometric = 0, compression = 1;
  uint16_t predictor = 1, sampleFormat = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
  uint16_t extraCount = 0;
  uint16_t* extras = nullptr;

  explicit StripFormat(TIFF* tiff) {
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extras);
    if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE)
      TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
    rowsPerStrip = std::min(rowsPerStrip, height);
  }

  // A file of one strip holding `rows` rows, laid out as the directory.
  void apply(TIFF* strip, uint32_t rows) const {
    TIFFSetField(strip, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(strip, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(strip, TIFFTAG_ROWSPERSTRIP, rows);
    TIFFSetField(strip, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(strip, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel);
    TIFFSetField(strip, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(strip, TIFFTAG_PLANARCONFIG, planar);
    TIFFSetField(strip, TIFFTAG_SAMPLEFORMAT, sampleFormat);
    TIFFSetField(strip, TIFFTAG_COMPRESSION, compression);
    if (predictor != 1) TIFFSetField(strip, TIFFTAG_PREDICTOR, predictor);
    if (extraCount) TIFFSetField(strip, TIFFTAG_EXTRASAMPLES, extraCount, extras);
  }
};

// Each worker keeps the buffer it fills rows into between strips and calls.
std::vector<char>& rowBuffer() {
  thread_local std::vector<char> buffer;
  return buffer;
}

// And the one libtiff codes into, passed on to the strip's file each time
// it fills: small enough to stay in the core's cache, instead of a fresh
// buffer of the strip's size per strip.
std::vector<char>& codedBuffer() {
  thread_local std::vector<char> buffer(size_t(64) << 10);
  return buffer;
}

struct EncodedStrip {
  QByteArray file;  // a one-strip TIFF without a directory
  uint64_t offset = 0, count = 0;
  bool ok = false;
};

void encodeStrip(const StripFormat& format, tmsize_t scanline, uint32_t strip,
                 const TIFFStripWriter::FillRows& fill, EncodedStrip* out) {
  const uint32_t first = strip * format.rowsPerStrip;
  const uint32_t rows = std::min(format.rowsPerStrip, format.height - first);
  std::vector<char>& raw = rowBuffer();
  raw.resize(size_t(scanline) * rows);
  fill(first, rows, raw.data());
  // Coded pixels are rarely larger than raw ones; the room is only touched
  // as far as it is written.
  out->file.reserve(qsizetype(raw.size()) + 4096);
  TIFFMemoryStream stream(&out->file);
  TIFF* tiff = stream.open("w");
  if (!tiff) return;
  format.apply(tiff, rows);
  std::vector<char>& coded = codedBuffer();
  TIFFWriteBufferSetup(tiff, coded.data(), tmsize_t(coded.size()));
  if (TIFFWriteEncodedStrip(tiff, 0, raw.data(), tmsize_t(raw.size())) < 0) return;
  out->offset = TIFFGetStrileOffset(tiff, 0);
  out->count = TIFFGetStrileByteCount(tiff, 0);
  out->ok = out->offset + out->count <= uint64_t(out->file.size());
}

bool writeInTurn(TIFF* tiff, const StripFormat& format, tmsize_t scanline,
                 const TIFFStripWriter::FillRows& fill) {
  std::vector<char>& raw = rowBuffer();
  for (uint32_t strip = 0, first = 0; first < format.height;
       ++strip, first += format.rowsPerStrip) {
    const uint32_t rows = std::min(format.rowsPerStrip, format.height - first);
    raw.resize(size_t(scanline) * rows);
    fill(first, rows, raw.data());
    if (TIFFWriteEncodedStrip(tiff, strip, raw.data(), tmsize_t(raw.size())) < 0) return false;
  }
  return true;
}

// The strips from `first` on, coded in `encoded`, copied in parallel to
// room at the end of the file (fresh memory is faulted in on every core at
// once), then recorded in order where they already lie.
bool placeStrips(TIFFMemoryStream& stream, uint32_t first,
                 const std::vector<EncodedStrip>& encoded) {
  std::vector<uint64_t> places(encoded.size() + 1, 0);
  for (size_t strip = 0; strip < encoded.size(); ++strip) {
    if (!encoded[strip].ok) return false;
    places[strip + 1] = places[strip] + encoded[strip].count;
  }
  const uint64_t start = stream.fileSize();
  // A file written to a device takes the strips from where they were coded.
  char* room = stream.writesToSink() ? nullptr : stream.roomAtEnd(qsizetype(places.back()));
  if (!room && !stream.writesToSink()) return false;
  if (room)
    fnd::WorkerPool::parallelFor(int(encoded.size()), [&](int strip) {
      const EncodedStrip& e = encoded[size_t(strip)];
      std::memcpy(room + places[size_t(strip)], e.file.constData() + e.offset, size_t(e.count));
    });
  TIFF* tiff = stream.handle();
  for (uint32_t strip = 0; strip < uint32_t(encoded.size()); ++strip) {
    const EncodedStrip& e = encoded[strip];
    const char* bytes = room ? room + places[strip] : e.file.constData() + e.offset;
    if (TIFFWriteRawStrip(tiff, first + strip, const_cast<char*>(bytes), tmsize_t(e.count)) < 0)
      return false;
    if (TIFFGetStrileOffset(tiff, first + strip) != start + places[strip]) {
      stream.setMessage("TIFFStripWriter: a strip was not written at the end of the file");
      return false;
    }
  }
  return true;
}

// Strips are coded a group at a time, enough to keep every worker busy:
// the coded strips of a whole large image would be a second copy of it.
uint32_t stripsPerGroup(tmsize_t scanline, uint32_t rowsPerStrip) {
  constexpr uint64_t kGroupBytes = uint64_t(16) << 20;
  const uint64_t stripBytes = uint64_t(scanline) * rowsPerStrip;
  const auto byBytes =
      uint32_t(std::max<uint64_t>(1, kGroupBytes / std::max<uint64_t>(stripBytes, 1)));
  return std::max(byBytes, uint32_t(fnd::WorkerPool::threadCount()));
}

}  // namespace

bool TIFFStripWriter::write(TIFFMemoryStream& stream, const FillRows& fill) {
  TIFF* tiff = stream.handle();
  const StripFormat format(tiff);
  const tmsize_t scanline = TIFFScanlineSize(tiff);
  if (format.height == 0 || format.rowsPerStrip == 0 || scanline <= 0) return false;
  const uint32_t strips = TIFFNumberOfStrips(tiff);
  if (format.compression == COMPRESSION_JPEG || format.planar != PLANARCONFIG_CONTIG || strips < 2)
    return writeInTurn(tiff, format, scanline, fill);

  const uint32_t group = stripsPerGroup(scanline, format.rowsPerStrip);
  for (uint32_t first = 0; first < strips; first += group) {
    std::vector<EncodedStrip> encoded(std::min(group, strips - first));
    fnd::WorkerPool::parallelFor(int(encoded.size()), [&](int strip) {
      encodeStrip(format, scanline, first + uint32_t(strip), fill, &encoded[size_t(strip)]);
    });
    if (!placeStrips(stream, first, encoded)) return false;
  }
  return true;
}

}  // namespace io
