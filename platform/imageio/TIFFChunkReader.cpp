#include "imageio/TIFFChunkReader.h"

#include <QThreadPool>
#include <cstring>
#include <mutex>
#include <numeric>
#include <vector>

#include "foundation/FreshPages.h"
#include "foundation/WorkerPool.h"
#include "imageio/BoxReduction.h"
#include "imageio/TIFFMemoryStream.h"
#include "imageio/TIFFStraightRow.h"
#include "imageio/TIFFStripDecoder.h"

namespace io {
namespace {

// At most this much for the buffers tiles decode into, all workers together.
constexpr uint64_t kTileBuffers = uint64_t(4) << 20;

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
// Pixels go from the last to the first, so `out` may lie over `in` as long
// as it does not start before it.
template <typename T>
void expandRow(const T* in, T* out, uint32_t width, int samples, T opaque, bool alpha) {
  const bool gray = samples <= 2;
  for (uint32_t x = width; x-- > 0;) {
    const T* i = in + size_t(x) * size_t(samples);
    T* o = out + size_t(x) * 4;
    const T a = !alpha ? opaque : samples == 2 ? i[1] : samples == 4 ? i[3] : opaque;
    const T r = i[0], g = gray ? i[0] : i[1], b = gray ? i[0] : i[2];
    o[0] = r, o[1] = g, o[2] = b, o[3] = a;
  }
}

// The image's memory, taken once: workers write their own rows through it.
struct Target {
  uchar* bits;
  size_t bytesPerLine, pixelBytes;
  bool gray, alpha;

  explicit Target(QImage* image)
      : bits(image->bits()),
        bytesPerLine(size_t(image->bytesPerLine())),
        pixelBytes(size_t(image->depth() / 8)),
        gray(image->format() == QImage::Format_Grayscale8 ||
             image->format() == QImage::Format_Grayscale16),
        alpha(image->hasAlphaChannel()) {}

  uchar* row(uint32_t y) const { return bits + size_t(y) * bytesPerLine; }
};

// Rows from the last to the first, so that a strip decoded into the image's
// own memory (packed rows at the start of its rows) spreads out in place.
void storeRows(const Layout& layout, const Chunk& c, const char* samples, const Target& target) {
  const TIFFDirectory& d = layout.d;
  const int n = d.samplesPerPixel;
  for (uint32_t r = c.rows; r-- > 0;) {
    const char* in = samples + r * layout.chunkStride();
    uchar* out = target.row(c.y + r) + c.x * target.pixelBytes;
    if (static_cast<const void*>(in) == out && (target.gray || n == 4)) continue;
    if (target.gray)
      std::memmove(out, in, c.columns * layout.pixelBytes);
    else if (d.isFloat())
      expandRow(reinterpret_cast<const float*>(in), reinterpret_cast<float*>(out), c.columns, n,
                1.0f, target.alpha);
    else if (d.bitsPerSample == 16)
      expandRow(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(out), c.columns,
                n, uint16_t(0xffff), target.alpha);
    else
      expandRow(reinterpret_cast<const uint8_t*>(in), out, c.columns, n, uint8_t(0xff),
                target.alpha);
  }
}

// R, G, B, A bytes (straight, or premultiplied when `premultiplied`) to
// premultiplied ARGB32 words, the layout drawing samples, in place.
void toDrawingLayout(uchar* row, uint32_t count, bool premultiplied) {
  auto* words = reinterpret_cast<QRgb*>(row);
  for (uint32_t x = 0; x < count; ++x, row += 4) {
    const QRgb color = qRgba(row[0], row[1], row[2], row[3]);
    words[x] = premultiplied ? color : qPremultiply(color);
  }
}

// The first failure of a decode split over workers; later ones are dropped.
struct FirstFailure {
  std::mutex lock;
  QString message;

  void fail(const QString& why) {
    std::lock_guard guard(lock);
    if (message.isEmpty()) message = why;
  }
};

struct Run : FirstFailure {
  const QByteArray& data;
  int directory;
  tmsize_t maxAllocation;
  const Layout& layout;
  const Target target;
  // Converts RGBA8888 rows to premultiplied ARGB32 once stored.
  bool drawingLayout;
  bool premultiplied;

  void decode(uint32_t first, uint32_t end) {
    TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
    TIFF* tiff = stream.open("r", maxAllocation);
    if (!tiff || (directory > 0 && !TIFFSetDirectory(tiff, tdir_t(directory))))
      return fail(stream.message("the file cannot be reopened"));
    // A strip decodes into the memory of its own rows (an image pixel is
    // never smaller than the file's) and spreads out there; a tile needs a
    // buffer of its own.
    const bool tiled = layout.d.tiled;
    std::vector<char> buffer(tiled ? layout.chunkStride() * layout.chunkHeight : 0);
    TIFFStripDecoder strips(tiff, layout.d, data.constData(), uint64_t(data.size()));
    if (!tiled && first < end) {
      // Each run maps the fresh rows it is about to fill, side by side
      // with the others.
      const Chunk last = layout.chunk(end - 1);
      uchar* top = target.row(layout.chunk(first).y);
      fnd::FreshPages::mapForWriting(top, size_t(target.row(last.y + last.rows) - top));
    }
    for (uint32_t index = first; index < end; ++index) {
      const Chunk c = layout.chunk(index);
      char* into = tiled ? buffer.data() : reinterpret_cast<char*>(target.row(c.y));
      const bool ok = tiled ? TIFFReadEncodedTile(tiff, index, into, tmsize_t(buffer.size())) >= 0
                            : strips.read(index, into, layout.chunkStride() * c.rows);
      if (!ok) return fail(stream.message("the pixel data is damaged"));
      storeRows(layout, c, into, target);
      if (drawingLayout)
        for (uint32_t r = 0; r < c.rows; ++r)
          toDrawingLayout(target.row(c.y + r) + c.x * 4, c.columns, premultiplied);
    }
  }
};

// A reduced read splits the image into bands of rows that start on a
// reduced row (a multiple of the factor) and on a strip or a row of tiles,
// so no two runs add to the same reduced pixels and all add straight into
// one reduction. Strips are read a row at a time, tiles into a buffer.
struct ReducedLayout {
  const Layout& layout;
  int factor;
  uint32_t units;  // strips, or rows of tiles
  uint32_t step;   // units from one band's start to the next

  ReducedLayout(const Layout& l, int f) : layout(l), factor(f) {
    units = l.chunkHeight ? (l.d.height + l.chunkHeight - 1) / l.chunkHeight : 0;
    step = uint32_t(f) / std::gcd(uint32_t(f), l.chunkHeight);
  }
  uint32_t bands() const { return (units + step - 1) / step; }
  // Whether strips go through our own decoder a row at a time (much
  // faster than libtiff's rows).
  static bool ownRows(TIFF* tiff, const Layout& l) {
    return !l.d.tiled && TIFFStripDecoder::decodesItself(tiff, l.d);
  }
  // The bytes one run holds while it runs: our decoder's window, a row,
  // or a tile, and a row of straight pixels.
  uint64_t runBytes(TIFF* tiff) const {
    const uint64_t samples = ownRows(tiff, layout)
                                 ? uint64_t(TIFFStripDecoder::workingBytes(layout.chunkStride()))
                             : layout.d.tiled ? uint64_t(TIFFTileSize64(tiff))
                                              : uint64_t(TIFFScanlineSize64(tiff));
    return samples + uint64_t(std::max(layout.chunkWidth, layout.d.width)) * 4;
  }
};

struct ReducedRun : FirstFailure {
  const QByteArray& data;
  int directory;
  tmsize_t maxAllocation;
  const ReducedLayout& reduced;
  BoxReduction& whole;

  // Units [first, end) of the layout.
  void decode(uint32_t first, uint32_t end) {
    if (first >= end) return;
    const Layout& layout = reduced.layout;
    const TIFFDirectory& d = layout.d;
    TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
    TIFF* tiff = stream.open("r", maxAllocation);
    if (!tiff || (directory > 0 && !TIFFSetDirectory(tiff, tdir_t(directory))))
      return fail(stream.message("the file cannot be reopened"));
    const bool asStored = TIFFStraightRow::isStraightRGBA8(d);
    std::vector<char> samples(size_t(d.tiled ? TIFFTileSize64(tiff) : TIFFScanlineSize64(tiff)));
    std::vector<uchar> rgba(size_t(std::max(layout.chunkWidth, d.width)) * 4);
    auto add = [&](uint32_t y, const char* row, uint32_t x, uint32_t count) {
      const uchar* pixels = reinterpret_cast<const uchar*>(row);
      if (!asStored) {
        TIFFStraightRow::convert(row, d, count, rgba.data());
        pixels = rgba.data();
      }
      whole.addRow(int(y), pixels, int(count), int(x));
    };
    const uint32_t top = first * layout.chunkHeight;
    const uint32_t bottom = std::min(d.height, end * layout.chunkHeight);
    if (ReducedLayout::ownRows(tiff, layout)) {
      TIFFStripDecoder strips(tiff, d, data.constData(), uint64_t(data.size()));
      for (uint32_t index = first; index < end; ++index) {
        const Chunk c = layout.chunk(index);
        const auto row = [&](uint32_t r, const char* samples) {
          add(c.y + r, samples, 0, d.width);
        };
        if (!strips.readRows(index, c.y, c.rows, row))
          return fail(stream.message("the pixel data is damaged"));
      }
      return;
    }
    if (!d.tiled) {
      for (uint32_t y = top; y < bottom; ++y) {
        if (TIFFReadScanline(tiff, samples.data(), y, 0) < 0)
          return fail(stream.message("the pixel data is damaged"));
        add(y, samples.data(), 0, d.width);
      }
      return;
    }
    for (uint32_t ty = top; ty < bottom; ty += layout.chunkHeight)
      for (uint32_t tx = 0; tx < d.width; tx += layout.chunkWidth) {
        if (TIFFReadTile(tiff, samples.data(), tx, ty, 0, 0) < 0)
          return fail(stream.message("the pixel data is damaged"));
        const uint32_t columns = std::min(layout.chunkWidth, d.width - tx);
        for (uint32_t r = 0; r < std::min(layout.chunkHeight, d.height - ty); ++r)
          add(ty + r, samples.data() + r * layout.chunkStride(), tx, columns);
      }
  }
};

int workerCount() { return std::max(1, fnd::WorkerPool::shared()->maxThreadCount()); }

}  // namespace

int TIFFChunkReader::reducedRuns(const TIFFDirectory& d, int factor) {
  const Layout layout(d);
  const ReducedLayout reduced(layout, std::max(factor, 1));
  // A few runs per worker even out bands that cost more than others.
  return int(std::min<uint64_t>(reduced.bands(), uint64_t(workerCount()) * 4));
}

QImage TIFFChunkReader::readReduced(const QByteArray& data, int directory, const TIFFDirectory& d,
                                    tmsize_t maxAllocation, int factor, DecodeBudget& budget,
                                    QString* message, fnd::Error* error) {
  const Layout layout(d);
  const ReducedLayout reduced(layout, std::max(factor, 1));
  const uint32_t runs = uint32_t(std::max(1, reducedRuns(d, factor)));
  const uint32_t workers = uint32_t(workerCount());
  {
    TIFFMemoryStream stream(data.constData(), uint64_t(data.size()));
    TIFF* tiff = stream.open("r", maxAllocation);
    if (!tiff || (directory > 0 && !TIFFSetDirectory(tiff, tdir_t(directory)))) {
      *message = stream.message("the file cannot be reopened");
      return {};
    }
    ScopedReservation working(&budget);
    if (!working.reserve(BoxReduction::workingBytes(d.width, d.height, factor) +
                             reduced.runBytes(tiff) * std::min(runs, workers),
                         error))
      return {};
  }
  BoxReduction whole(int(d.width), int(d.height), factor);
  ReducedRun run{{}, data, directory, maxAllocation, reduced, whole};
  const uint32_t bands = reduced.bands();
  fnd::WorkerPool::parallelFor(int(runs), [&](int r) {
    const uint32_t first = uint32_t(uint64_t(bands) * uint32_t(r) / runs) * reduced.step;
    const uint32_t end = uint32_t(uint64_t(bands) * uint32_t(r + 1) / runs) * reduced.step;
    run.decode(first, std::min(end, reduced.units));
  });
  if (!run.message.isEmpty()) {
    *message = run.message;
    return {};
  }
  return whole.image();
}

bool TIFFChunkReader::read(const QByteArray& data, int directory, const TIFFDirectory& d,
                           tmsize_t maxAllocation, bool drawingLayout, DecodeBudget& budget,
                           QImage* image, QString* message, fnd::Error* error) {
  const Layout layout(d);
  if (layout.count == 0) return true;
  const uint32_t workers = uint32_t(workerCount());
  // A few runs per worker even out strips that cost more than others.
  uint32_t runs = std::min(layout.count, workers * 4);
  ScopedReservation buffers(&budget);
  if (d.tiled) {
    // As many tile buffers as run at once, within a small total.
    const uint64_t tileBytes = uint64_t(layout.chunkStride()) * layout.chunkHeight;
    const uint64_t fit = std::max<uint64_t>(1, kTileBuffers / std::max<uint64_t>(tileBytes, 1));
    if (fit < workers) runs = uint32_t(std::min<uint64_t>(runs, fit));
    if (!buffers.reserve(tileBytes * std::min(runs, workers), error)) return false;
  }
  // 8-bit RGBA becomes the drawing layout strip by strip, while the strip
  // is still in the cache.
  const bool drawing = drawingLayout && (image->format() == QImage::Format_RGBA8888 ||
                                         image->format() == QImage::Format_RGBA8888_Premultiplied);
  Run run{{},
          data,
          directory,
          maxAllocation,
          layout,
          Target(image),
          drawing,
          image->format() == QImage::Format_RGBA8888_Premultiplied};
  fnd::WorkerPool::parallelFor(int(runs), [&](int r) {
    run.decode(uint32_t(uint64_t(layout.count) * uint32_t(r) / runs),
               uint32_t(uint64_t(layout.count) * uint32_t(r + 1) / runs));
  });
  if (run.message.isEmpty()) {
    if (drawing) image->reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
  }
  *message = run.message;
  return false;
}

}  // namespace io
