// Puts the frames a SANE scanner sends back together into one image. The
// bytes come from the device driver, so every size is checked against the
// bytes actually received and against the image limits before use.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace capture {

// A frame as the driver describes it (SANE_Parameters).
struct SaneFrameParameters {
  enum Format { Gray = 0, Rgb = 1, Red = 2, Green = 3, Blue = 4 };
  int format = Gray;
  bool lastFrame = true;
  int bytesPerLine = 0;
  int pixelsPerLine = 0;
  int lines = -1;  // -1 when the driver does not know before the end
  int depth = 8;
};

class SaneFrameAssembler {
 public:
  static constexpr qint64 kMaxSide = qint64(1) << 16;
  static constexpr qint64 kMaxPixels = qint64(1) << 28;

  // Adds one frame of `bytes`; false with `problem` set when the frame
  // cannot be read (unknown format or depth, sizes that disagree).
  bool addFrame(const SaneFrameParameters& frame, const QByteArray& bytes, QString* problem);
  // The opaque RGB image of the frames so far; null before the first.
  QImage image() const { return image_; }

 private:
  bool checkFrame(const SaneFrameParameters& frame, qsizetype byteCount, int* lines,
                  QString* problem) const;
  void writeChannel(const SaneFrameParameters& frame, const QByteArray& bytes, int channel);
  void writeRgb(const SaneFrameParameters& frame, const QByteArray& bytes);

  QImage image_;
};

}  // namespace capture
