// Decoding the LZW strips of one stored layer (4000 × 3000 RGBA, strips of
// 128 rows without a predictor, as layers are stored; a photograph-like
// picture, PhotoLikePicture.h), on one thread: our own strip decoder
// beside libtiff's on the same file, both into the same buffer, and beside
// copying the decoded bytes (the floor). Runs alternate, best of five.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <chrono>
#include <cstring>
#include <vector>

#include "BenchReport.h"
#include "PhotoLikePicture.h"
#include "imageio/TIFFDirectory.h"
#include "imageio/TIFFMemoryStream.h"
#include "imageio/TIFFStripDecoder.h"

namespace {

constexpr uint32_t kWidth = 4000, kHeight = 3000, kRowsPerStrip = 128;
constexpr int kRuns = 5;

QByteArray layerFile() {
  const QImage picture = bench::photoLikePicture(int(kWidth), int(kHeight), 3);
  std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
  for (uint32_t y = 0; y < kHeight; ++y)
    std::memcpy(pixels.data() + size_t(y) * kWidth * 4, picture.constScanLine(int(y)),
                size_t(kWidth) * 4);
  QByteArray file;
  io::TIFFMemoryStream stream(&file);
  TIFF* tiff = stream.open("w");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  const uint16_t extra = EXTRASAMPLE_ASSOCALPHA;
  TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
  const size_t rowBytes = size_t(kWidth) * 4;
  for (uint32_t strip = 0, y = 0; y < kHeight; ++strip, y += kRowsPerStrip) {
    const uint32_t rows = std::min(kRowsPerStrip, kHeight - y);
    TIFFWriteEncodedStrip(tiff, strip, pixels.data() + y * rowBytes, tmsize_t(rows * rowBytes));
  }
  stream.close();
  return file;
}

double timeAllStrips(const QByteArray& file, bool ours, std::vector<char>& out) {
  io::TIFFMemoryStream stream(file.constData(), uint64_t(file.size()));
  TIFF* tiff = stream.open("r");
  const io::TIFFDirectory d = io::TIFFDirectory::read(tiff);
  io::TIFFStripDecoder decoder(tiff, d, file.constData(), uint64_t(file.size()));
  const size_t rowBytes = size_t(kWidth) * 4;
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t strip = 0, y = 0; y < kHeight; ++strip, y += kRowsPerStrip) {
    const size_t bytes = std::min(kRowsPerStrip, kHeight - y) * rowBytes;
    char* into = out.data() + y * rowBytes;
    const bool ok = ours ? decoder.read(strip, into, bytes)
                         : TIFFReadEncodedStrip(tiff, strip, into, tmsize_t(bytes)) >= 0;
    if (!ok) std::abort();
  }
  return bench::millisecondsSince(start);
}

void BM_LZWStrips(benchmark::State& state) {
  static const QByteArray file = layerFile();
  std::vector<char> out(size_t(kWidth) * kHeight * 4);
  double bestOurs = 1e300, bestLibtiff = 1e300;
  for (auto _ : state) {
    for (int run = 0; run < kRuns; ++run) {
      bestOurs = std::min(bestOurs, timeAllStrips(file, true, out));
      bestLibtiff = std::min(bestLibtiff, timeAllStrips(file, false, out));
    }
  }
  const double floor = bench::memcpyMilliseconds(out.size());
  const std::string name = "lzw_strips_4000x3000_1thread";
  bench::figure(name, bestOurs, "ms");
  bench::figure(name + "_libtiff", bestLibtiff, "ms");
  bench::figure(name + "_memcpy_floor", floor, "ms");
  bench::figure("lzw_strips_compressed_size", double(file.size()) / 1e6, "MB");
  bench::ratio(name + "_vs_libtiff", bestOurs / bestLibtiff);
  bench::ratio(name + "_vs_memcpy", bestOurs / floor);
}

}  // namespace

BENCHMARK(BM_LZWStrips)->Unit(benchmark::kMillisecond)->Iterations(1);
