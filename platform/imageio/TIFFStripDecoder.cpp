#include "imageio/TIFFStripDecoder.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "imageio/TIFFLZWDecoder.h"

namespace io {
namespace {

// Each sample after the first pixel of a row was stored as its difference
// from the same sample of the pixel before.
template <typename T>
void accumulate(T* row, size_t count, size_t samples) {
  for (size_t i = samples; i < count; ++i) row[i] = T(row[i] + row[i - samples]);
}

// Four 8-bit samples a pixel, four pixels at once: a running sum across
// the register, then the last pixel of the block carried into the next.
void accumulateFourBytes(uint8_t* row, size_t bytes) {
  size_t i = 0;
#ifdef __SSE2__
  __m128i carry = _mm_setzero_si128();
  for (; i + 16 <= bytes; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi8(v, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), v);
    carry = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
  }
#endif
  for (i = std::max<size_t>(i, 4); i < bytes; ++i) row[i] = uint8_t(row[i] + row[i - 4]);
}

}  // namespace

TIFFStripDecoder::TIFFStripDecoder(TIFF* tiff, const TIFFDirectory& d, const char* data,
                                   uint64_t size)
    : tiff_(tiff),
      data_(reinterpret_cast<const uint8_t*>(data)),
      size_(size),
      own_(decodesItself(tiff, d)) {
  uint16_t predictor = PREDICTOR_NONE;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
  predictor_ = predictor == PREDICTOR_HORIZONTAL;
  samples_ = d.samplesPerPixel;
  sampleBytes_ = d.bitsPerSample / 8;
  rowBytes_ = size_t(d.width) * size_t(samples_) * size_t(sampleBytes_);
}

bool TIFFStripDecoder::decodesItself(TIFF* tiff, const TIFFDirectory& d) {
  uint16_t predictor = PREDICTOR_NONE, fillOrder = FILLORDER_MSB2LSB;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fillOrder);
  const bool wholeBytes = d.bitsPerSample == 8 || d.bitsPerSample == 16 || d.bitsPerSample == 32;
  // libtiff swaps the bytes of wider samples of the other byte order after
  // decoding; those files stay with it.
  const bool nativeOrder = d.bitsPerSample == 8 || !TIFFIsByteSwapped(tiff);
  const bool predicts =
      predictor == PREDICTOR_NONE || (predictor == PREDICTOR_HORIZONTAL && d.bitsPerSample <= 16);
  return d.compression == COMPRESSION_LZW && !d.tiled && d.planar == PLANARCONFIG_CONTIG &&
         fillOrder == FILLORDER_MSB2LSB && wholeBytes && nativeOrder && predicts &&
         d.samplesPerPixel > 0 && d.width > 0;
}

bool TIFFStripDecoder::read(uint32_t index, char* out, size_t size) {
  if (own_ && readOwn(index, reinterpret_cast<uint8_t*>(out), size)) return true;
  return TIFFReadEncodedStrip(tiff_, index, out, tmsize_t(size)) >= 0;
}

const uint8_t* TIFFStripDecoder::raw(uint32_t index, size_t* count) const {
  if (index >= TIFFNumberOfStrips(tiff_)) return nullptr;
  const uint64_t offset = TIFFGetStrileOffset(tiff_, index);
  const uint64_t bytes = TIFFGetStrileByteCount(tiff_, index);
  if (offset > size_ || bytes > size_ - offset) return nullptr;
  *count = size_t(bytes);
  return data_ + offset;
}

bool TIFFStripDecoder::readOwn(uint32_t index, uint8_t* out, size_t size) const {
  size_t count = 0;
  const uint8_t* in = raw(index, &count);
  if (!in || !TIFFLZWDecoder::decode(in, count, out, size)) return false;
  if (predictor_) undoPredictor(out, size);
  return true;
}

size_t TIFFStripDecoder::workingBytes(size_t rowBytes) {
  // A few rows: the table's strings seldom reach back further. Plus the
  // row a predictor is undone in.
  return std::max<size_t>(4 * rowBytes, size_t(16) << 10) + TIFFLZWDecoder::kStringRoom + rowBytes;
}

bool TIFFStripDecoder::readRows(uint32_t index, uint32_t firstRow, uint32_t rows, const Row& row) {
  row_.resize(rowBytes_);
  const uint32_t given = own_ ? readOwnRows(index, rows, row) : 0;
  // libtiff cannot start inside an LZW strip: it decodes the rows already
  // given again, and drops them.
  for (uint32_t r = given == rows ? rows : 0; r < rows; ++r) {
    if (TIFFReadScanline(tiff_, row_.data(), firstRow + r, 0) < 0) return false;
    if (r >= given) row(r, reinterpret_cast<const char*>(row_.data()));
  }
  return true;
}

uint32_t TIFFStripDecoder::readOwnRows(uint32_t index, uint32_t rows, const Row& row) {
  size_t count = 0;
  const uint8_t* in = raw(index, &count);
  if (!in || rowBytes_ == 0) return 0;
  window_.resize(workingBytes(rowBytes_) - rowBytes_);
  const size_t expected = size_t(rows) * rowBytes_;
  TIFFLZWDecoder lzw(in, count, expected);
  size_t base = 0, handed = 0;
  uint32_t r = 0;
  for (;;) {
    const size_t windowEnd = base + window_.size();
    const size_t stop = windowEnd >= expected ? expected : windowEnd - TIFFLZWDecoder::kStringRoom;
    const TIFFLZWDecoder::Status status = lzw.decode(window_.data(), base, windowEnd, stop);
    if (status == TIFFLZWDecoder::Status::Failed) return r;
    for (; handed + rowBytes_ <= lzw.position(); handed += rowBytes_, ++r) {
      const uint8_t* samples = window_.data() + (handed - base);
      if (predictor_) {
        // The window's bytes are the table's strings: undone in a copy.
        std::memcpy(row_.data(), samples, rowBytes_);
        undoPredictor(row_.data(), rowBytes_);
        samples = row_.data();
      }
      row(r, reinterpret_cast<const char*>(samples));
    }
    if (status == TIFFLZWDecoder::Status::Done) return r;
    // Keeps the strings still in use and the part of the next row.
    const size_t keep = std::min(lzw.tableStart(), handed);
    const size_t end = keep + window_.size();
    if ((end >= expected ? expected : end - TIFFLZWDecoder::kStringRoom) < handed + rowBytes_)
      return r;
    std::memmove(window_.data(), window_.data() + (keep - base), lzw.position() - keep);
    base = keep;
  }
}

void TIFFStripDecoder::undoPredictor(uint8_t* strip, size_t size) const {
  for (size_t at = 0; at + rowBytes_ <= size; at += rowBytes_) {
    uint8_t* row = strip + at;
    if (sampleBytes_ == 2)
      accumulate(reinterpret_cast<uint16_t*>(row), rowBytes_ / 2, size_t(samples_));
    else if (samples_ == 4)
      accumulateFourBytes(row, rowBytes_);
    else
      accumulate(row, rowBytes_, size_t(samples_));
  }
}

}  // namespace io
