#include "imageio/TIFFLZWDecoder.h"

#include <algorithm>
#include <cstring>

namespace io {
namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kFirst = 258;
constexpr uint32_t kTableSize = 4096;
constexpr unsigned kMinWidth = 9;
constexpr unsigned kMaxWidth = 12;

// Codes from the most significant bit on, through a 64-bit window whose
// bits past `count` are either zero or the stream's next bits. Held in
// locals while decoding, so stores of output bytes (which may alias
// anything) do not force it back to memory.
struct BitReader {
  const uint8_t* next;
  const uint8_t* end;
  uint64_t bits;
  unsigned count;

  void refill() {
    if (end - next >= 8) {
      uint64_t word;
      std::memcpy(&word, next, 8);
      bits |= __builtin_bswap64(word) >> count;
      next += (63 - count) >> 3;
      count |= 56;
      return;
    }
    for (; count <= 56 && next < end; count += 8) bits |= uint64_t(*next++) << (56 - count);
  }

  // False when fewer than `width` bits are left.
  bool fetch(unsigned width, uint32_t* code) {
    if (count < width) {
      refill();
      if (count < width) return false;
    }
    *code = uint32_t(bits >> (64 - width));
    bits <<= width;
    count -= width;
    return true;
  }
};

using Entry = TIFFLZWDecoder::Entry;

// The first eight bytes of `string` followed by `byte`.
inline uint64_t withByte(const Entry& string, uint8_t byte) {
  return string.length < 8 ? string.head | uint64_t(byte) << (8 * string.length) : string.head;
}

// A string of more than eight bytes from output at least eight bytes
// before `to` (a string that repeats its own start lies a byte less than
// its length before), eight bytes at a time, up to seven past its end.
inline void copyLong(uint8_t* to, const uint8_t* from, uint32_t length) {
  for (uint32_t i = 0; i < length; i += 8) {
    uint64_t bytes;
    std::memcpy(&bytes, from + i, 8);
    std::memcpy(to + i, &bytes, 8);
  }
}

// The first `count` bytes of `string`, one at a time and never past them:
// a short one from its head, a long one from `from` (byte by byte, so the
// last byte of a string that repeats its own start is read once written).
inline void copyBytes(uint8_t* to, const uint8_t* from, const Entry& string, size_t count) {
  for (size_t i = 0; i < count; ++i)
    to[i] = string.length <= 8 ? uint8_t(string.head >> (8 * i)) : from[i];
}

}  // namespace

bool TIFFLZWDecoder::decode(const uint8_t* in, size_t size, uint8_t* out, size_t expected) {
  if (expected == 0) return true;
  TIFFLZWDecoder decoder(in, size, expected);
  return decoder.decode(out, 0, expected, expected) == Status::Done;
}

TIFFLZWDecoder::TIFFLZWDecoder(const uint8_t* in, size_t size, size_t expected)
    : next_(in), end_(in + size), expected_(expected) {
  for (uint32_t literal = 0; literal < kClear; ++literal) table_[literal] = {literal, 0, 1};
  // Offsets are kept in 32 bits.
  if (expected > UINT32_MAX) failed_ = true;
}

TIFFLZWDecoder::Status TIFFLZWDecoder::decode(uint8_t* window, size_t base, size_t windowEnd,
                                              size_t stop) {
  if (failed_) return Status::Failed;
  BitReader reader{next_, end_, bits_, count_};
  size_t pos = pos_, tableStart = tableStart_;
  Entry previous = previous_;
  uint32_t next = nextCode_;
  unsigned width = width_;
  const size_t expected = expected_;
  Entry* const table = table_;
  auto at = [&](size_t p) { return window + (p - base); };
  stop = std::min(stop, expected);

  // After a clear code (or more): a literal starts the new table.
  auto restart = [&] {
    uint32_t code = kClear;
    while (code == kClear)
      if (!reader.fetch(kMinWidth, &code)) return false;
    if (code > 255) return false;
    tableStart = pos;
    width = kMinWidth;
    next = kFirst;
    *at(pos) = uint8_t(code);
    previous = {code, uint32_t(pos), 1};
    ++pos;
    return true;
  };
  // One code; with `checked`, near the end of the output or of the window.
  // 1 when the output is complete, -1 when the stream is unusable.
  auto step = [&](auto checked) -> int {
    uint32_t code = 0;
    if (!reader.fetch(width, &code)) return -1;
    if (code - kClear < 2) return code == kClear && restart() ? 0 : -1;
    // A full table takes only a clear code.
    if (next == kTableSize) return -1;
    // The string: a literal's, a defined code's, or (the code being
    // defined right now) the previous string and its own first byte.
    Entry string;
    if (code < next)
      string = table[code];
    else if (code == next)
      string = {withByte(previous, uint8_t(previous.head)), previous.offset, previous.length + 1};
    else
      return -1;
    uint8_t* to = at(pos);
    // Only a long string is read from the output (a literal's offset means
    // nothing).
    const uint8_t* from = string.length > 8 ? at(string.offset) : nullptr;
    if (checked) {
      const size_t room = expected - pos;
      if (string.length >= room) {
        // The last string, cut at the end of the output.
        copyBytes(to, from, string, room);
        pos = expected;
        return 1;
      }
      if (windowEnd - pos < size_t(string.length) + 8) {
        copyBytes(to, from, string, string.length);
        from = to = nullptr;
      }
    }
    if (!from && to)
      std::memcpy(to, &string.head, 8);
    else if (from)
      copyLong(to, from, string.length);
    table[next++] = {withByte(previous, uint8_t(string.head)), previous.offset,
                     previous.length + 1};
    if (next == (1u << width) - 1 && width < kMaxWidth) ++width;
    previous = {string.head, uint32_t(pos), string.length};
    pos += string.length;
    return 0;
  };

  if (!started_ && pos < stop) {
    uint32_t code = 0;
    if (!reader.fetch(kMinWidth, &code) || code != kClear || !restart()) return fail();
    started_ = true;
  }
  // Far from both ends no string can reach past either.
  const size_t margin = kStringRoom + 8;
  const size_t fastStop = std::min({stop, expected > margin ? expected - margin : 0,
                                    windowEnd > margin ? windowEnd - margin : 0});
  while (pos < fastStop)
    if (step(std::false_type{}) < 0) return fail();
  int done = 0;
  while (done == 0 && pos < stop)
    if ((done = step(std::true_type{})) < 0) return fail();
  next_ = reader.next, bits_ = reader.bits, count_ = reader.count;
  pos_ = pos, tableStart_ = tableStart, previous_ = previous;
  nextCode_ = next, width_ = width;
  return pos == expected ? Status::Done : Status::More;
}

}  // namespace io
