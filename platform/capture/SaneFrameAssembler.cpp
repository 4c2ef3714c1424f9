#include "capture/SaneFrameAssembler.h"

#include <cstring>

namespace capture {
namespace {

// One sample of `depth` bits at `index` of a line, scaled to 8 bits. One-bit
// lineart marks black with a set bit; 16-bit samples are in host order.
inline uchar sample(const uchar* line, int index, int depth) {
  if (depth == 8) return line[index];
  if (depth == 16) {
    quint16 value;
    std::memcpy(&value, line + 2 * index, 2);
    return uchar(value >> 8);
  }
  return (line[index >> 3] & (0x80 >> (index & 7))) ? 0 : 255;
}

qint64 bytesNeeded(const SaneFrameParameters& frame) {
  const qint64 samples = qint64(frame.pixelsPerLine) * (frame.format == 1 ? 3 : 1);
  return (samples * frame.depth + 7) / 8;
}

}  // namespace

bool SaneFrameAssembler::checkFrame(const SaneFrameParameters& frame, qsizetype byteCount,
                                    int* lines, QString* problem) const {
  auto fail = [problem](const char* text) {
    if (problem) *problem = QString::fromLatin1(text);
    return false;
  };
  if (frame.format < 0 || frame.format > 4) return fail("unknown frame format");
  if (frame.depth != 1 && frame.depth != 8 && frame.depth != 16) return fail("unknown depth");
  if (frame.format == 1 && frame.depth == 1) return fail("one-bit colour frames are not defined");
  if (frame.pixelsPerLine <= 0 || frame.pixelsPerLine > kMaxSide) return fail("bad line width");
  if (frame.bytesPerLine < bytesNeeded(frame)) return fail("lines shorter than their pixels");
  const qint64 received = byteCount / frame.bytesPerLine;
  const qint64 count = frame.lines < 0 ? received : std::min<qint64>(frame.lines, received);
  if (count <= 0) return fail("no complete line");
  if (count > kMaxSide || count * frame.pixelsPerLine > kMaxPixels) return fail("image too large");
  // The red, green and blue passes of one page must agree on its size.
  if (!image_.isNull() && frame.format >= 2 &&
      (image_.width() != frame.pixelsPerLine || image_.height() != count))
    return fail("colour passes of different sizes");
  *lines = int(count);
  return true;
}

bool SaneFrameAssembler::addFrame(const SaneFrameParameters& frame, const QByteArray& bytes,
                                  QString* problem) {
  int lines = 0;
  if (!checkFrame(frame, bytes.size(), &lines, problem)) return false;
  if (image_.isNull() || frame.format < 2) {
    image_ = QImage(frame.pixelsPerLine, lines, QImage::Format_RGB32);
    if (image_.isNull()) {
      if (problem) *problem = QStringLiteral("out of memory");
      return false;
    }
    image_.fill(Qt::black);
  }
  if (frame.format == SaneFrameParameters::Rgb)
    writeRgb(frame, bytes);
  else if (frame.format == SaneFrameParameters::Gray)
    for (int channel = 0; channel < 3; ++channel) writeChannel(frame, bytes, channel);
  else
    writeChannel(frame, bytes, frame.format - 2);
  return true;
}

void SaneFrameAssembler::writeChannel(const SaneFrameParameters& frame, const QByteArray& bytes,
                                      int channel) {
  const int shift = 16 - 8 * channel;  // red, green, blue in a 0xffRRGGBB pixel
  const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
  for (int y = 0; y < image_.height(); ++y) {
    const uchar* line = data + qint64(y) * frame.bytesPerLine;
    auto* out = reinterpret_cast<QRgb*>(image_.scanLine(y));
    for (int x = 0; x < image_.width(); ++x)
      out[x] = (out[x] & ~(0xffu << shift)) | (QRgb(sample(line, x, frame.depth)) << shift);
  }
}

void SaneFrameAssembler::writeRgb(const SaneFrameParameters& frame, const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
  for (int y = 0; y < image_.height(); ++y) {
    const uchar* line = data + qint64(y) * frame.bytesPerLine;
    auto* out = reinterpret_cast<QRgb*>(image_.scanLine(y));
    for (int x = 0; x < image_.width(); ++x)
      out[x] = qRgb(sample(line, 3 * x, frame.depth), sample(line, 3 * x + 1, frame.depth),
                    sample(line, 3 * x + 2, frame.depth));
  }
}

}  // namespace capture
