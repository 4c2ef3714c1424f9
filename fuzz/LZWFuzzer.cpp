// Fuzzes our own LZW strip decoder: the first two bytes give a strip's
// row bytes (1 + the first) and rows (1 + the second modulo 64), the rest
// are its compressed bytes. Whatever the decoder
// accepts, libtiff must decode to the same bytes from a TIFF holding that
// strip; anything else is a finding.
#include <tiffio.h>

#include <cstdlib>
#include <vector>

#include "imageio/TIFFLZWDecoder.h"
#include "imageio/TIFFMemoryStream.h"

namespace {

QByteArray oneStripTIFF(uint32_t width, uint32_t rows, const uint8_t* strip, size_t size) {
  QByteArray file;
  io::TIFFMemoryStream stream(&file);
  TIFF* tiff = stream.open("w");
  if (!tiff) return {};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rows);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  if (TIFFWriteRawStrip(tiff, 0, const_cast<uint8_t*>(strip), tmsize_t(size)) < 0) return {};
  stream.close();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return -1;
  const uint32_t width = 1 + data[0], rows = 1 + data[1] % 64u;
  const uint8_t* strip = data + 2;
  const size_t stripBytes = size - 2;
  const size_t expected = size_t(width) * rows;
  // Exactly sized, so a step past either end is caught.
  std::vector<uint8_t> in(strip, strip + stripBytes), ours(expected);
  if (!io::TIFFLZWDecoder::decode(in.data(), in.size(), ours.data(), expected)) return 0;
  const QByteArray file = oneStripTIFF(width, rows, strip, stripBytes);
  io::TIFFMemoryStream stream(file.constData(), uint64_t(file.size()));
  TIFF* tiff = stream.open("r");
  std::vector<uint8_t> theirs(expected);
  if (!tiff || TIFFReadEncodedStrip(tiff, 0, theirs.data(), tmsize_t(expected)) < 0 ||
      theirs != ours)
    std::abort();
  return 0;
}
