// Structural check of a binary property list before it reaches libplist:
// header, trailer, offset table, every object's extent and references, and
// the reachable graph (no cycles, bounded depth, bounded size once shared
// objects are expanded into a tree). libplist trusts much of this.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace fnd {

class BinaryPlistCheck {
 public:
  // True when `data` is safe to hand to the parser; otherwise `why` says
  // what is wrong in words a bug report can quote.
  static bool isSound(const QByteArray& data, int maximumDepth, QString* why);

  // A tree built from the file never holds more nodes than this.
  static constexpr std::uint64_t MaximumExpandedNodes = 4u << 20;

 private:
  struct Object {
    std::uint8_t type = 0;
    std::uint64_t refsAt = 0;    // position of the first reference
    std::uint64_t refCount = 0;  // references that follow (dict: keys then values)
  };

  explicit BinaryPlistCheck(const QByteArray& data) : data_(data) {}
  bool readTrailer();
  bool readObject(std::uint64_t index);
  bool readLength(std::uint64_t* pos, std::uint8_t info, std::uint64_t* length);
  bool checkReferences(std::uint64_t index);
  bool walkGraph(int maximumDepth);
  std::uint64_t readUInt(std::uint64_t pos, int size) const;
  std::uint64_t reference(const Object& object, std::uint64_t n) const;
  bool fail(const QString& why);

  const QByteArray& data_;
  const unsigned char* bytes() const {
    return reinterpret_cast<const unsigned char*>(data_.constData());
  }
  int offsetSize_ = 0;
  int refSize_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t top_ = 0;
  std::uint64_t tableAt_ = 0;
  std::uint64_t end_ = 0;  // objects end before the trailer
  std::vector<Object> objects_;
  QString why_;
};

}  // namespace fnd
