// Encoding and decoding a 4000 × 3000 RGBA picture in each of the nine
// formats, in milliseconds per megapixel. "transcode" is the work
// `vips copy in.png out.X` does (decode the PNG, encode X); "encode" and
// "decode" are the halves alone. The input and each encoded file are left
// beside this program, with our figures in imageio-ours.txt, so
// bench/compare-imageio can give vips the very same files.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <chrono>

#include "BenchReport.h"
#include "imageio/ImageDestination.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "imageio/TypeIdentifiers.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr double kMegapixels = kWidth * kHeight / 1e6;

QImage picture() {
  QImage image(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      uchar* p = row + x * 4;
      p[0] = uchar(x * 255 / kWidth);
      p[1] = uchar(y * 255 / kHeight);
      p[2] = uchar(((x >> 5) ^ (y >> 5)) & 1 ? 200 : 60) + uchar((x * y) & 15);
      p[3] = uchar(x < kWidth / 2 ? 255 : 128 + (y & 127));
    }
  }
  return image;
}

const gfx::CGImagePtr& source() {
  static gfx::CGImagePtr image = gfx::CGImage::make(picture());
  return image;
}

QString outputFolder() { return QCoreApplication::applicationDirPath(); }

QVariantMap optionsFor(const QString& type) {
  // vips's default JPEG quality, so the comparison does the same work.
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

const QByteArray& inputPNG() {
  static QByteArray bytes = [] {
    QByteArray png = encode(source(), io::TypePNG);
    QFile file(QDir(outputFolder()).filePath("imageio-input.png"));
    if (file.open(QIODevice::WriteOnly)) file.write(png);
    QFile::remove(QDir(outputFolder()).filePath("imageio-ours.txt"));
    return png;
  }();
  return bytes;
}

void record(const QString& kind, const QString& extension, double msPerMegapixel) {
  bench::figure(QStringLiteral("imageio_%1_%2").arg(kind, extension).toStdString(), msPerMegapixel,
                "ms/MP");
  QFile file(QDir(outputFolder()).filePath("imageio-ours.txt"));
  if (file.open(QIODevice::Append))
    file.write(QStringLiteral("%1 %2 %3\n").arg(kind, extension).arg(msPerMegapixel).toUtf8());
}

// Runs `work` for every iteration and keeps the fastest, as the peer's
// script does.
template <typename Work>
double fastestMs(benchmark::State& state, Work work) {
  double best = 1e300;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(
        best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
  }
  return best;
}

void encodeBenchmark(benchmark::State& state, QString type) {
  QString extension = io::TypeIdentifiers::preferredFilenameExtension(type);
  QByteArray bytes;
  double ms = fastestMs(state, [&] { benchmark::DoNotOptimize(bytes = encode(source(), type)); });
  if (bytes.isEmpty()) return state.SkipWithError("encoding failed");
  QFile file(QDir(outputFolder()).filePath("imageio-sample." + extension));
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  state.counters["bytes"] = double(bytes.size());
  record("encode", extension, ms / kMegapixels);
}

void transcodeBenchmark(benchmark::State& state, QString type) {
  const QByteArray& png = inputPNG();
  QByteArray bytes;
  double ms =
      fastestMs(state, [&] { benchmark::DoNotOptimize(bytes = encode(decode(png), type)); });
  if (bytes.isEmpty()) return state.SkipWithError("transcoding failed");
  record("transcode", io::TypeIdentifiers::preferredFilenameExtension(type), ms / kMegapixels);
}

void decodeBenchmark(benchmark::State& state, QString type) {
  QByteArray bytes = encode(source(), type);
  gfx::CGImagePtr image;
  double ms = fastestMs(state, [&] { benchmark::DoNotOptimize(image = decode(bytes)); });
  if (!image) return state.SkipWithError("decoding failed");
  record("decode", io::TypeIdentifiers::preferredFilenameExtension(type), ms / kMegapixels);
}

const bool registered = [] {
  for (const QString& type : {io::TypePNG, io::TypeJPEG, io::TypeTIFF, io::TypeBMP, io::TypeTGA,
                              io::TypeGIF, io::TypeJPEG2000, io::TypeOpenEXR, io::TypePDF}) {
    std::string extension = io::TypeIdentifiers::preferredFilenameExtension(type).toStdString();
    benchmark::RegisterBenchmark(("encode/" + extension).c_str(), encodeBenchmark, type)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("transcode/" + extension).c_str(), transcodeBenchmark, type)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("decode/" + extension).c_str(), decodeBenchmark, type)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace
