#include "imageio/OpenEXRCodec.h"

#include <Iex.h>
#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfRgbaFile.h>
#include <ImfThreading.h>

#include <QThread>
#include <QtEndian>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/Error.h"
#include "foundation/WorkerPool.h"
#include "imageio/BoxReduction.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/LinearLight.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("OpenEXR");

class MemoryInput : public Imf::IStream {
 public:
  explicit MemoryInput(const QByteArray& data)
      : Imf::IStream("memory"), data_(data.constData()), size_(uint64_t(data.size())) {}
  bool read(char c[], int n) override {
    if (n < 0 || uint64_t(n) > size_ - position_) throw Iex::InputExc("the file ends early");
    std::memcpy(c, data_ + position_, size_t(n));
    position_ += uint64_t(n);
    return position_ < size_;
  }
  uint64_t tellg() override { return position_; }
  void seekg(uint64_t position) override {
    if (position > size_) throw Iex::InputExc("seek past the end of the file");
    position_ = position;
  }

 private:
  const char* data_;
  uint64_t size_;
  uint64_t position_ = 0;
};

class MemoryOutput : public Imf::OStream {
 public:
  explicit MemoryOutput(std::vector<char>* bytes) : Imf::OStream("memory"), bytes_(bytes) {}
  void write(const char c[], int n) override {
    uint64_t end = position_ + uint64_t(n);
    if (end > bytes_->size()) bytes_->resize(end);
    std::memcpy(bytes_->data() + position_, c, size_t(n));
    position_ = end;
  }
  uint64_t tellp() override { return position_; }
  void seekp(uint64_t position) override { position_ = position; }

 private:
  std::vector<char>* bytes_;
  uint64_t position_ = 0;
};

// The library's threads for one file; none (the calling thread alone) inside
// a worker of the shared pool, whose work is one band of a parallel loop.
int threadsHere() { return fnd::WorkerPool::isWorkerThread() ? 0 : Imf::globalThreadCount(); }

void useThreads() {
  static std::once_flag once;
  std::call_once(once,
                 [] { Imf::setGlobalThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4)); });
}

// The header alone, read before the library opens the file: opening reads
// the line offset table, whose size comes from the data window, so the
// window is checked against the limits first.
Imf::Header headerOf(const QByteArray& data) {
  MemoryInput input(data);
  char magic[4];
  input.read(magic, 4);
  int version = 0;
  input.read(reinterpret_cast<char*>(&version), 4);
  version = qFromLittleEndian(version);
  Imf::Header header;
  header.readFrom(input, version);
  return header;
}

int64_t widthOf(const Imath::Box2i& window) { return int64_t(window.max.x) - window.min.x + 1; }
int64_t heightOf(const Imath::Box2i& window) { return int64_t(window.max.y) - window.min.y + 1; }

constexpr int kBandRows = 64;

// A sample scaled to 0…255 as a byte; NaN, which converts to no integer, is 0.
uchar byteOf(float v) { return v > 0.0f ? uchar(std::min(v, 255.0f) + 0.5f) : 0; }

// A premultiplied half-float pixel as straight RGBA8888, values clamped to
// [0, 1] as the 8-bit conversion of the full image does.
void toStraight8(const Imf::Rgba* pixels, int count, uchar* out) {
  for (int x = 0; x < count; ++x, out += 4) {
    float alpha = std::clamp(float(pixels[x].a), 0.0f, 1.0f);
    float scale = alpha > 0 ? 255.0f / alpha : 0.0f;
    float rgb[3] = {pixels[x].r, pixels[x].g, pixels[x].b};
    for (int c = 0; c < 3; ++c) out[c] = byteOf(rgb[c] * scale);
    out[3] = byteOf(alpha * 255.0f);
  }
}

// The file's linear light brought to the engine's sRGB-encoded samples, in
// place, rows spread over the worker pool.
void encodeRows(Imf::Rgba* first, size_t stride, int width, int rows) {
  fnd::WorkerPool::parallelBands(rows, 16, [=](int begin, int end) {
    for (int y = begin; y < end; ++y) LinearLight::encodedRow(first + size_t(y) * stride, width);
  });
}

// Writes `source` a band of rows at a time, each band through the curve to
// premultiplied linear halves, so no full-size copy is ever made. Float
// images go through the curve itself, to keep their precision; the rest
// through 16-bit samples and a table.
void writeBands(const gfx::CGImage& image, bool alpha, Imf::RgbaOutputFile* file) {
  const QImage& source = image.qImage();
  const int width = source.width();
  const bool floats = image.isFloat();
  const QImage::Format straight =
      floats ? (alpha ? QImage::Format_RGBA32FPx4 : QImage::Format_RGBX32FPx4)
             : (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
  std::vector<Imf::Rgba> band(size_t(width) * kBandRows);
  for (int y0 = 0; y0 < source.height(); y0 += kBandRows) {
    int rows = std::min(kBandRows, source.height() - y0);
    fnd::WorkerPool::parallelBands(rows, 8, [&](int begin, int end) {
      QImage samples = source.copy(0, y0 + begin, width, end - begin).convertToFormat(straight);
      for (int y = begin; y < end; ++y) {
        const uchar* row = samples.constScanLine(y - begin);
        Imf::Rgba* out = band.data() + size_t(y) * size_t(width);
        if (floats)
          LinearLight::linearRow(reinterpret_cast<const float*>(row), width, out);
        else
          LinearLight::linearRow(reinterpret_cast<const uint16_t*>(row), width, out);
      }
    });
    file->setFrameBuffer(band.data() - ptrdiff_t(y0) * width, 1, size_t(width));
    file->writePixels(rows);
  }
}

// A thumbnail: bands of rows averaged into a `factor` times smaller image
// as they are read, so the full-size image never exists.
gfx::CGImagePtr readReduced(const QByteArray& data, const Imath::Box2i& window, int factor,
                            DecodeBudget& budget, fnd::Error* error) {
  int width = int(widthOf(window)), height = int(heightOf(window));
  ScopedReservation working(&budget);
  if (!budget.limits().check(width, height, kName, error) ||
      !working.reserve(BoxReduction::workingBytes(width, height, factor) +
                           uint64_t(width) * (kBandRows * sizeof(Imf::Rgba) + 4),
                       error))
    return nullptr;
  MemoryInput input(data);
  Imf::RgbaInputFile file(input, threadsHere());
  if (file.dataWindow() != window) throw Iex::InputExc("inconsistent data window");
  BoxReduction reduction(width, height, factor);
  std::vector<Imf::Rgba> band(size_t(width) * kBandRows);
  std::vector<uchar> row(size_t(width) * 4);
  for (int y0 = window.min.y; y0 <= window.max.y; y0 += kBandRows) {
    int y1 = std::min(window.max.y, y0 + kBandRows - 1);
    file.setFrameBuffer(band.data() - window.min.x - ptrdiff_t(y0) * width, 1, size_t(width));
    file.readPixels(y0, y1);
    encodeRows(band.data(), size_t(width), width, y1 - y0 + 1);
    for (int y = y0; y <= y1; ++y) {
      toStraight8(band.data() + size_t(y - y0) * size_t(width), width, row.data());
      reduction.addRow(y - window.min.y, row.data(), width);
    }
  }
  return gfx::CGImage::make(reduction.image());
}

}  // namespace

QStringList OpenEXRCodec::types() const { return {TypeOpenEXR}; }

bool OpenEXRCodec::canWrite(const QString& type) const { return type == TypeOpenEXR; }

QString OpenEXRCodec::sniff(const QByteArray& data) const {
  return data.startsWith(QByteArray("\x76\x2f\x31\x01", 4)) ? TypeOpenEXR : QString();
}

bool OpenEXRCodec::readProperties(const QByteArray& data, SourceDescription* description,
                                  fnd::Error* error) const {
  try {
    Imf::Header header = headerOf(data);
    Imath::Box2i window = header.dataWindow();
    const Imf::ChannelList& channels = header.channels();
    bool alpha = channels.findChannel("A") != nullptr;
    bool gray =
        !channels.findChannel("R") && !channels.findChannel("G") && !channels.findChannel("B");
    QVariantMap properties =
        codec::baseProperties(int(std::clamp<int64_t>(widthOf(window), 0, INT32_MAX)),
                              int(std::clamp<int64_t>(heightOf(window), 0, INT32_MAX)), 16, alpha,
                              gray ? ColorModelGray : ColorModelRGB);
    properties[PropertyIsFloat] = true;
    properties[PropertyOpenEXRDictionary] =
        QVariantMap{{PropertyOpenEXRCompression, int(header.compression())}};
    description->type = TypeOpenEXR;
    description->images = {properties};
    return true;
  } catch (const std::exception& exception) {
    return codec::failRead(error, kName, QString::fromUtf8(exception.what()));
  }
}

gfx::CGImagePtr OpenEXRCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                        fnd::Error* error) const {
  useThreads();
  try {
    Imf::Header header = headerOf(data);
    Imath::Box2i window = header.dataWindow();
    codec::RequestBudget budget(request, kName);
    int factor =
        BoxReduction::factorFor(widthOf(window), heightOf(window), request.minimumLongerSide);
    if (request.index == 0 && factor > 1) return readReduced(data, window, factor, *budget, error);
    bool alpha = header.channels().findChannel("A") != nullptr;
    // Imf::Rgba is four halves, the same bits as Qt's 16-bit float layout.
    QImage image;
    if (request.index == 0)
      image = codec::allocateImage(
          *budget, widthOf(window), heightOf(window),
          alpha ? QImage::Format_RGBA16FPx4_Premultiplied : QImage::Format_RGBX16FPx4, error);
    if (image.isNull()) return nullptr;
    MemoryInput input(data);
    Imf::RgbaInputFile file(input, threadsHere());
    if (file.dataWindow() != window) throw Iex::InputExc("inconsistent data window");
    size_t stride = size_t(image.bytesPerLine()) / sizeof(Imf::Rgba);
    auto* origin = reinterpret_cast<Imf::Rgba*>(image.bits());
    file.setFrameBuffer(origin - window.min.x - ptrdiff_t(window.min.y) * ptrdiff_t(stride), 1,
                        stride);
    file.readPixels(window.min.y, window.max.y);
    encodeRows(origin, stride, image.width(), image.height());
    return gfx::CGImage::make(std::move(image));
  } catch (const std::exception& exception) {
    codec::failRead(error, kName, QString::fromUtf8(exception.what()));
    return nullptr;
  }
}

bool OpenEXRCodec::write(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                         QByteArray* output, fnd::Error* error) const {
  if (frames.size() != 1) return codec::failWrite(error, kName, "an OpenEXR file holds one image");
  useThreads();
  const gfx::CGImage& source = *frames.first().image;
  bool alpha = codec::keepsAlpha(source, frames.first().properties);
  std::vector<char> bytes;
  try {
    MemoryOutput stream(&bytes);
    Imf::Header header(int(source.width()), int(source.height()));
    header.compression() = Imf::ZIP_COMPRESSION;
    Imf::RgbaOutputFile file(stream, header, alpha ? Imf::WRITE_RGBA : Imf::WRITE_RGB,
                             threadsHere());
    writeBands(source, alpha, &file);
  } catch (const std::exception& exception) {
    return codec::failWrite(error, kName, QString::fromUtf8(exception.what()));
  }
  *output = QByteArray(bytes.data(), qsizetype(bytes.size()));
  return true;
}

QStringList OpenEXRCodec::embeddedProperties(const QString&) const {
  return QStringList{"HasAlpha"};
}

}  // namespace io
