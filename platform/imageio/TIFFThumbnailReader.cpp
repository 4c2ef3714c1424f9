#include "imageio/TIFFThumbnailReader.h"

#include <cmath>
#include <vector>

#include "imageio/BoxReduction.h"
#include "imageio/TIFFStraightRow.h"

namespace io {
namespace {

// Whether rows are palette indices of 1–8 bits that a colour map turns into
// RGB, read row by row like directly held samples.
bool isPalette(TIFF* tiff, const TIFFDirectory& d, uint16_t** maps) {
  return d.photometric == PHOTOMETRIC_PALETTE && d.samplesPerPixel == 1 && d.bitsPerSample <= 8 &&
         !d.tiled && d.planar == PLANARCONFIG_CONTIG &&
         TIFFGetField(tiff, TIFFTAG_COLORMAP, &maps[0], &maps[1], &maps[2]) == 1;
}

void paletteRow(const uchar* in, int bits, uint16_t* const* maps, uint32_t count, uchar* out) {
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  for (uint32_t x = 0; x < count; ++x, out += 4) {
    const int shift = 8 - bits * int(x % uint32_t(perByte) + 1);
    const int index = (in[x / uint32_t(perByte)] >> shift) & mask;
    for (int c = 0; c < 3; ++c) out[c] = uchar(maps[c][index] >> 8);
    out[3] = 255;
  }
}

bool reducePalette(TIFF* tiff, const TIFFDirectory& d, uint16_t* const* maps,
                   BoxReduction* reduction, char* buffer, uchar* rgba) {
  for (uint32_t y = 0; y < d.height; ++y) {
    if (TIFFReadScanline(tiff, buffer, y, 0) < 0) return false;
    paletteRow(reinterpret_cast<const uchar*>(buffer), d.bitsPerSample, maps, d.width, rgba);
    reduction->addRow(int(y), rgba, int(d.width));
  }
  return true;
}

// libtiff's converter gives premultiplied A, B, G, R words.
void straightRow(const uint32_t* in, uint32_t count, uchar* out) {
  for (uint32_t x = 0; x < count; ++x, out += 4) {
    const uint32_t p = in[x];
    const uint32_t a = p >> 24;
    for (int c = 0; c < 3; ++c) {
      const uint32_t v = (p >> (8 * c)) & 0xff;
      out[c] = uchar(a == 255 ? v : a ? std::min<uint32_t>(255, (v * 255 + a / 2) / a) : 0);
    }
    out[3] = uchar(a);
  }
}

bool reduceDirect(TIFF* tiff, const TIFFDirectory& d, BoxReduction* reduction, char* buffer,
                  uchar* rgba) {
  if (!d.tiled) {
    for (uint32_t y = 0; y < d.height; ++y) {
      if (TIFFReadScanline(tiff, buffer, y, 0) < 0) return false;
      TIFFStraightRow::convert(buffer, d, d.width, rgba);
      reduction->addRow(int(y), rgba, int(d.width));
    }
    return true;
  }
  const size_t stride = size_t(d.tileWidth) * d.samplesPerPixel * d.sampleBytes();
  for (uint32_t ty = 0; ty < d.height; ty += d.tileHeight)
    for (uint32_t tx = 0; tx < d.width; tx += d.tileWidth) {
      if (TIFFReadTile(tiff, buffer, tx, ty, 0, 0) < 0) return false;
      const uint32_t columns = std::min(d.tileWidth, d.width - tx);
      for (uint32_t r = 0; r < std::min(d.tileHeight, d.height - ty); ++r) {
        TIFFStraightRow::convert(buffer + r * stride, d, columns, rgba);
        reduction->addRow(int(ty + r), rgba, int(columns), int(tx));
      }
    }
  return true;
}

// The converter fills its raster bottom-up: row r of a band of `rows` rows
// lies at rows - 1 - r.
bool reduceThroughRGBA(TIFF* tiff, const TIFFDirectory& d, BoxReduction* reduction,
                       uint32_t* raster, uchar* rgba) {
  if (!d.tiled) {
    const uint32_t band = d.rowsPerStrip == 0 ? d.height : std::min(d.rowsPerStrip, d.height);
    for (uint32_t y = 0; y < d.height; y += band) {
      if (!TIFFReadRGBAStrip(tiff, y, raster)) return false;
      const uint32_t rows = std::min(band, d.height - y);
      for (uint32_t r = 0; r < rows; ++r) {
        straightRow(raster + size_t(rows - 1 - r) * d.width, d.width, rgba);
        reduction->addRow(int(y + r), rgba, int(d.width));
      }
    }
    return true;
  }
  for (uint32_t ty = 0; ty < d.height; ty += d.tileHeight)
    for (uint32_t tx = 0; tx < d.width; tx += d.tileWidth) {
      if (!TIFFReadRGBATile(tiff, tx, ty, raster)) return false;
      const uint32_t columns = std::min(d.tileWidth, d.width - tx);
      for (uint32_t r = 0; r < std::min(d.tileHeight, d.height - ty); ++r) {
        straightRow(raster + size_t(d.tileHeight - 1 - r) * d.tileWidth, columns, rgba);
        reduction->addRow(int(ty + r), rgba, int(columns), int(tx));
      }
    }
  return true;
}

}  // namespace

QImage TIFFThumbnailReader::read(TIFF* tiff, const TIFFDirectory& d, int factor,
                                 DecodeBudget& budget, QString* problem, fnd::Error* error) {
  uint16_t* maps[3] = {};
  const bool palette = isPalette(tiff, d, maps);
  const bool direct = d.readsDirectly() || palette;
  const uint64_t band =
      d.tiled ? uint64_t(d.tileWidth) * d.tileHeight
              : uint64_t(d.width) * std::max<uint32_t>(1, std::min(d.rowsPerStrip, d.height));
  // A decoded row or tile; through the converter, its raster of a strip or
  // tile and libtiff's buffer of the same.
  const uint64_t buffer =
      direct ? uint64_t(d.tiled ? TIFFTileSize64(tiff) : TIFFScanlineSize64(tiff))
             : band * 4 + uint64_t(d.tiled ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff));
  const uint64_t rowBytes = uint64_t(std::max(d.width, d.tileWidth)) * 4;
  ScopedReservation working(&budget);
  if (!working.reserve(BoxReduction::workingBytes(d.width, d.height, factor) + buffer + rowBytes,
                       error))
    return {};
  BoxReduction reduction(int(d.width), int(d.height), factor);
  std::vector<uchar> rgba(rowBytes);
  bool ok;
  if (direct) {
    std::vector<char> samples(buffer);
    ok = palette ? reducePalette(tiff, d, maps, &reduction, samples.data(), rgba.data())
                 : reduceDirect(tiff, d, &reduction, samples.data(), rgba.data());
  } else {
    char reason[1024] = {};
    std::vector<uint32_t> raster(band);
    ok = TIFFRGBAImageOK(tiff, reason) &&
         reduceThroughRGBA(tiff, d, &reduction, raster.data(), rgba.data());
    if (!ok && reason[0]) *problem = QString::fromUtf8(reason);
  }
  if (!ok) return {};
  return reduction.image();
}

}  // namespace io
