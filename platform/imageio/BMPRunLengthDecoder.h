// BMP files whose pixels are run-length encoded (RLE8 at 8 bits a pixel,
// RLE4 at 4), which stb_image does not read. Runs are decoded straight into
// the output rows through the palette; every run, literal and delta is
// checked against the rows and the file, and pixels the runs skip keep
// palette entry 0, as other readers leave them.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

namespace fnd {
class Error;
}

namespace io {

class DecodeBudget;

class BMPRunLengthDecoder {
 public:
  struct Header {
    int width = 0, height = 0;
    bool topDown = false;
    int bitCount = 8;
    qsizetype dataOffset = 0;
    QVector<uint32_t> palette;  // as RGBX8888 pixels
  };

  // Whether `data` is a BMP whose header names RLE8 or RLE4 compression.
  static bool handles(const QByteArray& data);
  // False with `why` filled when the header or palette is damaged.
  static bool readHeader(const QByteArray& data, Header* header, QString* why);
  // The image as RGBX8888, reserved in `budget`; null with `error` filled
  // when the file is damaged or over the limits.
  static QImage decode(const QByteArray& data, DecodeBudget& budget, fnd::Error* error);
};

}  // namespace io
