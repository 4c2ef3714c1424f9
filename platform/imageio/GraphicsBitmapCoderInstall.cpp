// Linked as an object file into every program that links the image-file
// layer (see CMakeLists.txt), so bitmap representations decode through its
// codecs before main() runs, whether or not the program calls it directly.
// It is compiled on its own, without the library's include paths, hence the
// declaration repeated from GraphicsBitmapCoder.h.

namespace io {
void installGraphicsBitmapCoder();
}

namespace {

const bool installed = [] {
  io::installGraphicsBitmapCoder();
  return true;
}();

}  // namespace
