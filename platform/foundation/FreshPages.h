#pragma once

#include <cstddef>

namespace fnd {

// Mapping of fresh memory ahead of writing it. The kernel maps an untouched
// page at its first write, one fault per 4 KiB, which on a virtual machine
// costs several microseconds each: decoding a large image into a new buffer
// can spend longer in those faults than in the decoding. Asked for at once,
// the pages of a range map in one call, for a fraction of that.
class FreshPages {
 public:
  // Maps the whole pages inside [`begin`, `begin` + `bytes`) for writing.
  // Pages already mapped stay as they are; a kernel without the call, or
  // one that refuses it, leaves the pages to fault in as they are written.
  static void mapForWriting(void* begin, size_t bytes);
};

}  // namespace fnd
