// TIFF's LZW coding of one strip or tile, decoded by our own code: 8-bit
// symbols, codes of 9 to 12 bits packed from the most significant bit,
// clear 256, end 257, the code width growing one code early. Each code's
// string is an (offset, length) of the output already written, so a code
// copies its bytes straight from there, or from the table itself when it
// is short. A strip decodes in one go into
// its whole output, or a piece at a time into a window that only has to
// hold the output since the last clear code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace io {

class TIFFLZWDecoder {
 public:
  enum class Status { More, Done, Failed };
  // Room a window needs past the point decoding is asked to stop at: the
  // longest string a code can stand for, and the 16 bytes short strings
  // are copied in.
  static constexpr size_t kStringRoom = 4096 + 16;

  // Decodes the `size` bytes at `in` into the `expected` bytes at `out`,
  // stopping once they are filled or at the end code. False, with `out`
  // partly written, when the bytes do not fill `expected` or are not a
  // stream this decoder takes: one that does not start with a clear code
  // (the old bit-reversed kind does not), that names a code not yet
  // defined, or that goes on past a full table. Callers hand those to
  // libtiff, whose verdict on them stands. Never reads or writes outside
  // the two ranges; the work is bounded by `size` and `expected`.
  static bool decode(const uint8_t* in, size_t size, uint8_t* out, size_t expected);

  // The same a piece at a time: `in` must outlive the decoder.
  TIFFLZWDecoder(const uint8_t* in, size_t size, size_t expected);
  // Decodes until the output reaches `stop` (counted from the strip's
  // first byte), or is complete (Done), or turns out unusable as above
  // (Failed, for good). Output byte p is written at `window` + p − `base`;
  // `window` holds bytes up to `windowEnd`, at least kStringRoom past
  // `stop` unless `windowEnd` is `expected`. Bytes from tableStart() on
  // must be where the previous calls left them.
  Status decode(uint8_t* window, size_t base, size_t windowEnd, size_t stop);
  // The output decoded so far.
  size_t position() const { return pos_; }
  // Where the strings of the current table start: output before it is
  // never read again.
  size_t tableStart() const { return tableStart_; }

  // One code's string: its first eight bytes (all of a short one, which is
  // then copied without reading the output), and where the whole of it
  // lies in the output.
  struct Entry {
    uint64_t head;
    uint32_t offset, length;
  };

 private:
  Status fail() {
    failed_ = true;
    return Status::Failed;
  }

  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t bits_ = 0;  // the next `count_` bits from the top, then zeros or later bits
  unsigned count_ = 0;
  size_t expected_;
  size_t pos_ = 0, tableStart_ = 0;
  Entry previous_ = {};
  uint32_t nextCode_ = 0;
  unsigned width_ = 9;
  bool started_ = false, failed_ = false;
  Entry table_[4096];
};

}  // namespace io
