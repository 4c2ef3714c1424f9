// Decodes strips of one TIFF directory, whole or a row at a time: LZW
// strips, with or without the horizontal predictor, by our own decoder
// straight from the file's bytes (the kind Tessaly writes, and the bulk of
// reading them); anything else, and any strip our decoder turns down,
// through libtiff.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "imageio/TIFFDirectory.h"

namespace io {

class TIFFStripDecoder {
 public:
  // `tiff` is open on the `size` bytes at `data`, at directory `d`; all
  // three outlive the decoder.
  TIFFStripDecoder(TIFF* tiff, const TIFFDirectory& d, const char* data, uint64_t size);

  // Whether strips of `tiff`'s current directory decode through our own
  // decoder.
  static bool decodesItself(TIFF* tiff, const TIFFDirectory& d);
  bool decodesItself() const { return own_; }

  // Decodes strip `index`, `size` bytes (its rows times the scanline), into
  // `out`. False when the strip is damaged, with libtiff's message on the
  // handle's stream.
  bool read(uint32_t index, char* out, size_t size);

  // Hands the `rows` rows of strip `index` (whose first row is `firstRow`)
  // to `row` in turn. Our decoder works through a window of workingBytes()
  // that holds the output since the last clear code; from a row it cannot
  // give (a damaged strip, or strings reaching back further than the
  // window) on, libtiff reads the rest of the strip. False when the strip
  // is damaged, as read().
  using Row = std::function<void(uint32_t row, const char* samples)>;
  bool readRows(uint32_t index, uint32_t firstRow, uint32_t rows, const Row& row);
  // The bytes readRows() holds for rows of `rowBytes`.
  static size_t workingBytes(size_t rowBytes);

 private:
  bool readOwn(uint32_t index, uint8_t* out, size_t size) const;
  // The rows of the strip our decoder gives; returns how many.
  uint32_t readOwnRows(uint32_t index, uint32_t rows, const Row& row);
  // The bytes of strip `index` in the file; null when they lie outside it.
  const uint8_t* raw(uint32_t index, size_t* count) const;
  void undoPredictor(uint8_t* strip, size_t size) const;

  TIFF* tiff_;
  const uint8_t* data_;
  uint64_t size_;
  bool own_;
  bool predictor_ = false;
  size_t rowBytes_ = 0;
  int samples_ = 1, sampleBytes_ = 1;
  std::vector<uint8_t> window_, row_;
};

}  // namespace io
