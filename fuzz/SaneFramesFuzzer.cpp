// Fuzzes the assembly of a scanner's frames: each frame is a header of nine
// bytes (format, last-frame flag, depth, bytes per line and pixels per line
// as 16-bit values, lines as a signed byte, data length as a 16-bit value)
// followed by its data, as a driver would describe and send it. Whatever is
// accepted must give an image of the size the frames claim.
#include <cstdlib>

#include "capture/SaneFrameAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  capture::SaneFrameAssembler assembler;
  static const int depths[] = {1, 8, 16, 4};
  size_t at = 0;
  while (size - at >= 9) {
    const uint8_t* h = data + at;
    capture::SaneFrameParameters frame;
    frame.format = h[0] % 6;
    frame.lastFrame = h[1] & 1;
    frame.depth = depths[h[2] % 4];
    frame.bytesPerLine = h[3] | (h[4] << 8);
    frame.pixelsPerLine = h[5] | (h[6] << 8);
    frame.lines = int8_t(h[7]);
    const size_t length = std::min<size_t>(h[8] * 64u, size - at - 9);
    at += 9;
    const QByteArray bytes(reinterpret_cast<const char*>(data + at), qsizetype(length));
    at += length;
    QString problem;
    if (!assembler.addFrame(frame, bytes, &problem)) continue;
    const QImage image = assembler.image();
    if (image.isNull() || image.width() != frame.pixelsPerLine ||
        qint64(image.height()) * frame.bytesPerLine > bytes.size())
      std::abort();
  }
  return 0;
}
