#include "foundation/BinaryPlistCheck.h"

#include <QtGlobal>
#include <cmath>
#include <cstring>
#include <limits>

namespace fnd {

namespace {

constexpr std::uint64_t HeaderSize = 8;
constexpr std::uint64_t TrailerSize = 32;

enum ObjectType : std::uint8_t {
  Singleton = 0x0,
  Integer = 0x1,
  Real = 0x2,
  Date = 0x3,
  Data = 0x4,
  AsciiString = 0x5,
  Utf16String = 0x6,
  Uid = 0x8,
  Array = 0xA,
  Dictionary = 0xD,
};

// Seconds from 2001 that the library can hold in its 32-bit date fields.
bool dateFits(double seconds) {
  return std::isfinite(seconds) && seconds > double(std::numeric_limits<std::int32_t>::min()) &&
         seconds < double(std::numeric_limits<std::int32_t>::max());
}

}  // namespace

bool BinaryPlistCheck::isSound(const QByteArray& data, int maximumDepth, QString* why) {
  BinaryPlistCheck check(data);
  bool sound = check.readTrailer();
  for (std::uint64_t i = 0; sound && i < check.count_; ++i) sound = check.readObject(i);
  for (std::uint64_t i = 0; sound && i < check.count_; ++i) sound = check.checkReferences(i);
  sound = sound && check.walkGraph(maximumDepth);
  if (!sound && why) *why = check.why_;
  return sound;
}

bool BinaryPlistCheck::fail(const QString& why) {
  why_ = why;
  return false;
}

std::uint64_t BinaryPlistCheck::readUInt(std::uint64_t pos, int size) const {
  std::uint64_t value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | bytes()[pos + i];
  return value;
}

bool BinaryPlistCheck::readTrailer() {
  const std::uint64_t size = std::uint64_t(data_.size());
  if (size < HeaderSize + 1 + 1 + TrailerSize) return fail("file too short");
  if (std::memcmp(data_.constData(), "bplist00", HeaderSize) != 0) return fail("bad header");
  const std::uint64_t at = size - TrailerSize;
  offsetSize_ = bytes()[at + 6];
  refSize_ = bytes()[at + 7];
  count_ = readUInt(at + 8, 8);
  top_ = readUInt(at + 16, 8);
  tableAt_ = readUInt(at + 24, 8);
  end_ = at;
  if (offsetSize_ < 1 || offsetSize_ > 8) return fail("bad offset size");
  if (refSize_ < 1 || refSize_ > 8) return fail("bad reference size");
  if (count_ == 0) return fail("no objects");
  if (top_ >= count_) return fail("top object out of range");
  if (tableAt_ < HeaderSize + 1 || tableAt_ > end_) return fail("offset table out of range");
  if (count_ > (end_ - tableAt_) / std::uint64_t(offsetSize_))
    return fail("offset table runs past the trailer");
  objects_.resize(count_);
  return true;
}

bool BinaryPlistCheck::readLength(std::uint64_t* pos, std::uint8_t info, std::uint64_t* length) {
  if (info != 0xF) {
    *length = info;
    return true;
  }
  if (*pos >= end_) return fail("length runs past the end");
  const std::uint8_t marker = bytes()[*pos];
  const int size = 1 << (marker & 0xF);
  if ((marker >> 4) != Integer || size > 8) return fail("bad length marker");
  if (*pos + 1 + size > end_) return fail("length runs past the end");
  *length = readUInt(*pos + 1, size);
  *pos += 1 + size;
  return true;
}

bool BinaryPlistCheck::readObject(std::uint64_t index) {
  const std::uint64_t offset = readUInt(tableAt_ + index * offsetSize_, offsetSize_);
  if (offset < HeaderSize || offset >= end_) return fail("object offset out of range");
  const std::uint8_t marker = bytes()[offset];
  const std::uint8_t info = marker & 0xF;
  Object& object = objects_[index];
  object.type = marker >> 4;
  std::uint64_t pos = offset + 1;
  std::uint64_t length = 0;
  std::uint64_t unit = 1;
  switch (object.type) {
    case Singleton:
      if (info != 0x8 && info != 0x9) return fail("unsupported singleton object");
      return true;
    case Integer:
      if (info > 4) return fail("bad integer size");
      length = std::uint64_t(1) << info;
      break;
    case Real:
      if (info != 2 && info != 3) return fail("bad real size");
      length = std::uint64_t(1) << info;
      break;
    case Date:
      if (info != 3) return fail("bad date size");
      length = 8;
      break;
    case Data:
    case AsciiString:
    case Utf16String:
      if (!readLength(&pos, info, &length)) return false;
      unit = object.type == Utf16String ? 2 : 1;
      break;
    case Uid:
      length = info + 1;
      if (length != 1 && length != 2 && length != 4 && length != 8) return fail("bad UID size");
      break;
    case Array:
    case Dictionary:
      if (!readLength(&pos, info, &length)) return false;
      unit = std::uint64_t(refSize_) * (object.type == Dictionary ? 2 : 1);
      object.refsAt = pos;
      object.refCount = length * (object.type == Dictionary ? 2 : 1);
      break;
    default:
      return fail(QStringLiteral("unsupported object type 0x%1").arg(object.type, 0, 16));
  }
  if (pos > end_ || length > (end_ - pos) / unit) return fail("object runs past the end");
  // The library hands strings out as C strings and asserts they hold no NUL.
  if (object.type == AsciiString && std::memchr(bytes() + pos, 0, length))
    return fail("string contains a NUL character");
  if (object.type == Utf16String) {
    for (std::uint64_t i = 0; i < length; ++i)
      if (readUInt(pos + 2 * i, 2) == 0) return fail("string contains a NUL character");
  }
  // Values are read back as qint64; 16-byte integers beyond that would wrap.
  if (object.type == Integer && length == 16 &&
      (readUInt(pos, 8) != 0 || readUInt(pos + 8, 8) > quint64(std::numeric_limits<qint64>::max())))
    return fail("integer beyond 64 bits");
  if (object.type == Date) {
    double seconds;
    const std::uint64_t bits = readUInt(pos, 8);
    std::memcpy(&seconds, &bits, 8);
    if (!dateFits(seconds)) return fail("date out of the supported range");
  }
  return true;
}

std::uint64_t BinaryPlistCheck::reference(const Object& object, std::uint64_t n) const {
  return readUInt(object.refsAt + n * refSize_, refSize_);
}

bool BinaryPlistCheck::checkReferences(std::uint64_t index) {
  const Object& object = objects_[index];
  const std::uint64_t keys = object.type == Dictionary ? object.refCount / 2 : 0;
  for (std::uint64_t n = 0; n < object.refCount; ++n) {
    const std::uint64_t target = reference(object, n);
    if (target >= count_) return fail("reference out of range");
    const std::uint8_t type = objects_[target].type;
    if (n < keys && type != AsciiString && type != Utf16String)
      return fail("dictionary key is not a string");
  }
  return true;
}

bool BinaryPlistCheck::walkGraph(int maximumDepth) {
  // Iterative depth-first walk: a deep file cannot exhaust our stack, a
  // cycle is a back edge, and the expanded size is summed bottom-up.
  enum Mark : std::uint8_t { Unvisited, OnPath, Done };
  std::vector<std::uint8_t> mark(count_, Unvisited);
  std::vector<std::uint64_t> expanded(count_, 0);
  struct Frame {
    std::uint64_t index;
    std::uint64_t next;
  };
  std::vector<Frame> path{{top_, 0}};
  mark[top_] = OnPath;
  expanded[top_] = 1;
  while (!path.empty()) {
    Frame& frame = path.back();
    const Object& object = objects_[frame.index];
    if (frame.next == object.refCount) {
      const std::uint64_t done = frame.index;
      mark[done] = Done;
      path.pop_back();
      if (!path.empty()) {
        std::uint64_t& parent = expanded[path.back().index];
        parent = std::min(parent + expanded[done], MaximumExpandedNodes + 1);
        if (parent > MaximumExpandedNodes) return fail("too many objects once expanded");
      }
      continue;
    }
    const std::uint64_t child = reference(object, frame.next++);
    if (mark[child] == OnPath) return fail("objects form a cycle");
    if (mark[child] == Done) {
      std::uint64_t& own = expanded[frame.index];
      own = std::min(own + expanded[child], MaximumExpandedNodes + 1);
      if (own > MaximumExpandedNodes) return fail("too many objects once expanded");
      continue;
    }
    // Every frame on the path is a container; leaves add no depth.
    const std::uint8_t type = objects_[child].type;
    if ((type == Array || type == Dictionary) && int(path.size()) >= maximumDepth)
      return fail("nesting too deep");
    mark[child] = OnPath;
    expanded[child] = 1;
    path.push_back({child, 0});
  }
  return true;
}

}  // namespace fnd
