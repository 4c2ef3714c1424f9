// Encoding and decoding a 2000 × 1500 RGBA photograph-like picture (grain
// over smooth fields: PhotoLikePicture.h) in each of the nine formats, in milliseconds per
// megapixel (the size keeps the codecs' threads busy; at 12 megapixels the GIF, JPEG 2000 and PDF
// runs alone take minutes), beside libvips in this process wherever it reads or writes the format:
// the same pixels to encode, our own encoded file to decode, both sides working in memory. Settings
// match ours: JPEG quality 75 with 4:2:0 chroma and no optimised coding, PNG zlib level 6 with
// adaptive filtering (libpng's default), uncompressed TIFF, GIF through libimagequant at speed 8
// with full dithering, lossless JPEG 2000 in one tile; BMP and TGA go through vips's ImageMagick
// saver and loader, and their rows say so
// (`_vs_vips_via_imagemagick_`). Runs alternate, ours then vips, best of
// five, at one thread (ours too: the codecs' own threads held to the calling
// one, VipsComparison.h) and at all cores, where vips's figure is its best of
// one and all threads. The GIF quantiser's OpenMP team is held to one thread
// on our side only: vips runs it from its own threads. OpenEXR and PDF have
// no vips saver, and OpenEXR no loader from memory: those rows print ours
// alone.
// Thumbnail rows time a 256-pixel thumbnail against decoding the full
// image and scaling it down.
#include <benchmark/benchmark.h>
#include <vips/vips.h>  // before Qt, whose keyword macros clash with GLib's headers

#include <QImage>
#include <chrono>
#include <functional>

#include "BenchReport.h"
#include "ColdPools.h"
#include "PhotoLikePicture.h"
#include "VipsComparison.h"
#include "foundation/WorkerPool.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

constexpr int kWidth = 2000, kHeight = 1500;
constexpr double kMegapixels = kWidth * kHeight / 1e6;
constexpr int kRuns = 5;

bench::Timings& timings() {
  static bench::Timings shared;
  return shared;
}

const gfx::CGImagePtr& source() {
  static gfx::CGImagePtr image = gfx::CGImage::make(bench::photoLikePicture(kWidth, kHeight, 1));
  return image;
}

// vips reading the source's own pixels (straight alpha, sRGB).
VipsImage* vipsSource() {
  static VipsImage* image = [] {
    const QImage& pixels = source()->qImage();
    VipsImage* view = vips_image_new_from_memory(pixels.constBits(), size_t(pixels.sizeInBytes()),
                                                 kWidth, kHeight, 4, VIPS_FORMAT_UCHAR);
    VipsImage* srgb = nullptr;
    if (!view || vips_copy(view, &srgb, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr))
      qFatal("bench_imageio: %s", vips_error_buffer());
    g_object_unref(view);
    return srgb;
  }();
  return image;
}

using VipsSaver = std::function<int(VipsImage*, void**, size_t*)>;

struct Format {
  QString type;
  VipsSaver vipsSave;  // empty: vips cannot write it
  bool vipsLoads;
  bool viaImageMagick = false;  // vips reads and writes it through ImageMagick
};

const std::vector<Format>& formats() {
  static const std::vector<Format> all = {
      {io::TypePNG,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_pngsave_buffer(in, out, size, "compression", 6, "filter",
                                    VIPS_FOREIGN_PNG_FILTER_ALL, nullptr);
       },
       true},
      {io::TypeJPEG,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_jpegsave_buffer(in, out, size, "Q", 75, "optimize_coding", FALSE,
                                     "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, nullptr);
       },
       true},
      {io::TypeTIFF,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_tiffsave_buffer(in, out, size, "compression",
                                     VIPS_FOREIGN_TIFF_COMPRESSION_NONE, nullptr);
       },
       true},
      {io::TypeBMP,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_magicksave_buffer(in, out, size, "format", "bmp", nullptr);
       },
       true, true},
      {io::TypeTGA,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_magicksave_buffer(in, out, size, "format", "tga", nullptr);
       },
       true, true},
      {io::TypeGIF,
       [](VipsImage* in, void** out, size_t* size) {
         // libimagequant's speed is 11 − effort.
         return vips_gifsave_buffer(in, out, size, "effort", 3, "dither", 1.0, "bitdepth", 8,
                                    nullptr);
       },
       true},
      {io::TypeJPEG2000,
       [](VipsImage* in, void** out, size_t* size) {
         return vips_jp2ksave_buffer(in, out, size, "lossless", TRUE, "tile_width", kWidth,
                                     "tile_height", kHeight, nullptr);
       },
       true},
      {io::TypeOpenEXR, {}, false},
      {io::TypePDF, {}, true},
  };
  return all;
}

std::string extensionOf(const QString& type) {
  return io::TypeIdentifiers::preferredFilenameExtension(type).toStdString();
}

QVariantMap optionsFor(const QString& type) {
  if (type == io::TypeJPEG) return {{io::DestinationLossyCompressionQuality, 0.75}};
  return {};
}

QByteArray encode(const gfx::CGImagePtr& image, const QString& type) {
  QByteArray bytes;
  io::ImageDestinationPtr destination = io::ImageDestination::createWithData(&bytes, type, 1);
  destination->addImage(image, optionsFor(type));
  if (!destination->finalize()) bytes.clear();
  return bytes;
}

gfx::CGImagePtr decode(const QByteArray& bytes) {
  io::ImageSourcePtr reader = io::ImageSource::createWithData(bytes);
  return reader ? reader->createImageAtIndex(0) : nullptr;
}

// The file, decoded by vips into memory; the size it decoded to, or an
// empty size when vips cannot read it.
QSize vipsDecode(const QByteArray& bytes) {
  VipsImage* image = vips_image_new_from_buffer(bytes.constData(), size_t(bytes.size()), "",
                                                "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
  size_t size = 0;
  void* pixels = image ? vips_image_write_to_memory(image, &size) : nullptr;
  const QSize decoded = pixels ? QSize(image->Xsize, image->Ysize) : QSize();
  g_free(pixels);
  if (image) g_object_unref(image);
  vips_error_clear();
  return decoded;
}

size_t vipsEncode(const VipsSaver& save) {
  void* bytes = nullptr;
  size_t size = 0;
  if (save(vipsSource(), &bytes, &size)) qFatal("bench_imageio: %s", vips_error_buffer());
  g_free(bytes);
  return size;
}

// Best of kRuns of ours and, when given, of vips, alternating, at one
// thread and at all cores, per megapixel.
void compare(const std::string& name, const std::function<void()>& ours,
             const std::function<void()>& vips) {
  bench::compareWithVips(
      kRuns, ours, vips,
      [&](const std::string& threads, double bestOurs, double bestVips, int vipsThreads) {
        timings().set(name + "_" + threads, bestOurs / kMegapixels);
        if (!vips) return;
        timings().set(name + "_vips_" + threads, bestVips / kMegapixels);
        timings().set(name + "_vips_" + threads + "_threads", vipsThreads);
      });
}

void encodeBenchmark(benchmark::State& state, const Format& format) {
  if (encode(source(), format.type).isEmpty()) return state.SkipWithError("encoding failed");
  for (auto _ : state)
    compare(
        "imageio_encode_" + extensionOf(format.type),
        [&] { benchmark::DoNotOptimize(encode(source(), format.type)); },
        format.vipsSave ? [&] { benchmark::DoNotOptimize(vipsEncode(format.vipsSave)); }
                        : std::function<void()>());
}

void decodeBenchmark(benchmark::State& state, const Format& format) {
  const QByteArray bytes = encode(source(), format.type);
  const gfx::CGImagePtr ours = decode(bytes);
  if (!ours) return state.SkipWithError("decoding failed");
  // vips must read the file to the same size, or the row is ours alone.
  const QSize size(int(ours->width()), int(ours->height()));
  const bool compared = format.vipsLoads && vipsDecode(bytes) == size;
  for (auto _ : state)
    compare(
        "imageio_decode_" + extensionOf(format.type),
        [&] { benchmark::DoNotOptimize(decode(bytes)); },
        compared ? [&] { benchmark::DoNotOptimize(vipsDecode(bytes)); } : std::function<void()>());
}

// A 256-pixel thumbnail as the source makes it (decoded reduced where the
// format allows), against the full decode scaled down that it replaces;
// runs alternate, best of kRuns.
void thumbnailBenchmark(benchmark::State& state, QString type) {
  const QByteArray bytes = encode(source(), type);
  io::ImageSourcePtr reader = io::ImageSource::createWithData(bytes);
  if (!reader || !reader->createThumbnailAtIndex(0, {{io::SourceThumbnailMaxPixelSize, 256}}))
    return state.SkipWithError("decoding failed");
  const QVariantMap options{{io::SourceThumbnailMaxPixelSize, 256}};
  auto reduced = [&] { benchmark::DoNotOptimize(reader->createThumbnailAtIndex(0, options)); };
  auto fullThenScaled = [&] {
    gfx::CGImagePtr full = reader->createImageAtIndex(0);
    benchmark::DoNotOptimize(
        full->qImage().scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  };
  for (auto _ : state) {
    double best = 1e300, bestFull = 1e300;
    for (int run = 0; run < kRuns; ++run) {
      best = std::min(best, bench::millisecondsOf(reduced));
      bestFull = std::min(bestFull, bench::millisecondsOf(fullThenScaled));
    }
    const std::string name = "imageio_thumbnail_" + extensionOf(type);
    bench::figure(name, best / kMegapixels, "ms/MP");
    bench::ratio(name + "_vs_full_decode_scaled", best / bestFull);
  }
}

const bool registered = [] {
  if (VIPS_INIT("bench_imageio")) qFatal("bench_imageio: vips did not start");
  vips_cache_set_max(0);  // every run computes afresh
  for (const Format& format : formats()) {
    const std::string extension = extensionOf(format.type);
    benchmark::RegisterBenchmark(("encode/" + extension).c_str(), encodeBenchmark, format)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("decode/" + extension).c_str(), decodeBenchmark, format)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  for (const QString& type : {io::TypePNG, io::TypeJPEG, io::TypeTIFF, io::TypeGIF,
                              io::TypeJPEG2000, io::TypeOpenEXR, io::TypePDF})
    benchmark::RegisterBenchmark(("thumbnail/" + extensionOf(type)).c_str(), thumbnailBenchmark,
                                 type)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  return true;
}();

const bool reported = bench::atPassEnd([] {
  bench::Timings& t = timings();
  for (const char* kind : {"encode", "decode"}) {
    for (const Format& format : formats()) {
      const std::string name = std::string("imageio_") + kind + "_" + extensionOf(format.type);
      for (const char* threads : bench::kVipsThreadCounts) {
        const std::string ours = name + "_" + threads, vips = name + "_vips_" + threads;
        if (!t.has(ours)) continue;
        bench::figure(ours, t.get(ours), "ms/MP");
        if (!t.has(vips)) continue;
        bench::figure(vips, t.get(vips), "ms/MP");
        bench::figure(vips + "_threads", t.get(vips + "_threads"), "threads");
        const char* peer = format.viaImageMagick ? "_vs_vips_via_imagemagick_" : "_vs_vips_";
        bench::ratio(name + peer + threads, t.get(ours) / t.get(vips));
      }
    }
  }
  t.clear();
});

}  // namespace
