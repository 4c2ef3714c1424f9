#include "imageio/TIFFChunkReader.h"

#include <QThreadPool>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/WorkerPool.h"
#include "imageio/TIFFMemoryStream.h"

namespace io {
namespace {

// Where one strip or tile lies in the image; a tile's buffer is always a
// whole tile wide and high, with the columns and rows past the image unused.
struct Chunk {
  uint32_t x = 0, y = 0, columns = 0, rows = 0;
};

struct Layout {
  const TIFFDirectory& d;
  uint32_t chunkWidth, chunkHeight, across, count;
  size_t pixelBytes;  // in the file

  explicit Layout(const TIFFDirectory& dir) : d(dir) {
    pixelBytes = size_t(d.samplesPerPixel) * size_t(d.sampleBytes());
    if (d.tiled) {
      chunkWidth = d.tileWidth;
      chunkHeight = d.tileHeight;
    } else {
      chunkWidth = d.width;
      chunkHeight = d.rowsPerStrip == 0 ? d.height : std::min(d.rowsPerStrip, d.height);
    }
    across = (d.width + chunkWidth - 1) / chunkWidth;
    count = across * ((d.height + chunkHeight - 1) / chunkHeight);
  }

  Chunk chunk(uint32_t index) const {
    Chunk c;
    c.x = (index % across) * chunkWidth;
    c.y = (index / across) * chunkHeight;
    c.columns = std::min(chunkWidth, d.width - c.x);
    c.rows = std::min(chunkHeight, d.height - c.y);
    return c;
  }

  size_t chunkStride() const { return size_t(chunkWidth) * pixelBytes; }
};

// One row of 1–4 samples per pixel to four components (or a straight copy
// for grey into a grey image). An extra sample that is not alpha never
// reaches the fourth component: an image without alpha must stay opaque.
template <typename T>
void expandRow(const T* in, T* out, uint32_t width, int samples, T opaque, bool alpha) {
  const bool gray = samples <= 2;
  for (uint32_t x = 0; x < width; ++x, in += samples, out += 4) {
    out[0] = in[0];
    out[1] = gray ? in[0] : in[1];
    out[2] = gray ? in[0] : in[2];
    out[3] = !alpha ? opaque : samples == 2 ? in[1] : samples == 4 ? in[3] : opaque;
  }
}

void storeRows(const Layout& layout, const Chunk& c, const char* samples, QImage* image) {
  const TIFFDirectory& d = layout.d;
  const bool gray =
      image->format() == QImage::Format_Grayscale8 || image->format() == QImage::Format_Grayscale16;
  const bool alpha = image->hasAlphaChannel();
  const int n = d.samplesPerPixel;
  const size_t outPixel = size_t(image->depth() / 8);
  for (uint32_t r = 0; r < c.rows; ++r) {
    const char* in = samples + r * layout.chunkStride();
    uchar* out = image->scanLine(int(c.y + r)) + c.x * outPixel;
    if (gray)
      std::memcpy(out, in, c.columns * layout.pixelBytes);
    else if (d.isFloat())
      expandRow(reinterpret_cast<const float*>(in), reinterpret_cast<float*>(out), c.columns, n,
                1.0f, alpha);
    else if (d.bitsPerSample == 16)
      expandRow(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(out), c.columns,
                n, uint16_t(0xffff), alpha);
    else
      expandRow(reinterpret_cast<const uint8_t*>(in), out, c.columns, n, uint8_t(0xff), alpha);
  }
}

// Whether a strip's rows can be decoded straight into the image's rows.
bool decodesInPlace(const Layout& layout, const QImage& image) {
  const TIFFDirectory& d = layout.d;
  bool sameSamples = d.samplesPerPixel == 4 || (d.samplesPerPixel == 1 && image.depth() <= 16);
  return !d.tiled && sameSamples &&
         size_t(image.bytesPerLine()) == size_t(d.width) * layout.pixelBytes;
}

std::vector<char>& scratch() {
  thread_local std::vector<char> buffer;
  return buffer;
}

struct Run {
  const QByteArray& data;
  int directory;
  tmsize_t maxAllocation;
  const Layout& layout;
  QImage* image;
  std::mutex failure;
  QString message;

  void fail(const QString& why) {
    std::lock_guard lock(failure);
    if (message.isEmpty()) message = why;
  }

  void decode(uint32_t first, uint32_t end) {
    TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
    TIFF* tiff = stream.open("r", maxAllocation);
    if (!tiff || (directory > 0 && !TIFFSetDirectory(tiff, tdir_t(directory))))
      return fail(stream.message("the file cannot be reopened"));
    const bool inPlace = decodesInPlace(layout, *image);
    const size_t chunkBytes = layout.chunkStride() * layout.chunkHeight;
    for (uint32_t index = first; index < end; ++index) {
      const Chunk c = layout.chunk(index);
      tmsize_t got;
      if (inPlace) {
        got = TIFFReadEncodedStrip(tiff, index, image->scanLine(int(c.y)),
                                   tmsize_t(layout.chunkStride() * c.rows));
      } else {
        std::vector<char>& buffer = scratch();
        buffer.resize(chunkBytes);
        got = layout.d.tiled ? TIFFReadEncodedTile(tiff, index, buffer.data(), tmsize_t(chunkBytes))
                             : TIFFReadEncodedStrip(tiff, index, buffer.data(),
                                                    tmsize_t(layout.chunkStride() * c.rows));
        if (got >= 0) storeRows(layout, c, buffer.data(), image);
      }
      if (got < 0) return fail(stream.message("the pixel data is damaged"));
    }
  }
};

}  // namespace

bool TIFFChunkReader::read(const QByteArray& data, int directory, const TIFFDirectory& d,
                           tmsize_t maxAllocation, QImage* image, QString* message) {
  const Layout layout(d);
  if (layout.count == 0) return true;
  const uint32_t workers = uint32_t(std::max(1, fnd::WorkerPool::shared()->maxThreadCount()));
  // A few runs per worker even out strips that cost more than others.
  const uint32_t runs = std::min(layout.count, workers * 4);
  Run run{data, directory, maxAllocation, layout, image, {}, {}};
  fnd::WorkerPool::parallelFor(int(runs), [&](int r) {
    run.decode(uint32_t(uint64_t(layout.count) * uint32_t(r) / runs),
               uint32_t(uint64_t(layout.count) * uint32_t(r + 1) / runs));
  });
  if (run.message.isEmpty()) return true;
  *message = run.message;
  return false;
}

}  // namespace io
