#include "imageio/TIFFDirectory.h"

namespace io {

TIFFDirectory TIFFDirectory::read(TIFF* tiff) {
  TIFFDirectory d;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &d.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &d.height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &d.bitsPerSample);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &d.samplesPerPixel);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &d.photometric);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &d.compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &d.orientation);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &d.planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &d.sampleFormat);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &d.resolutionUnit);
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &d.xResolution);
  TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &d.yResolution);
  uint16_t* extras = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &d.extraCount, &extras) && d.extraCount && extras)
    d.firstExtra = extras[0];
  d.tiled = TIFFIsTiled(tiff);
  if (d.tiled) {
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &d.tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &d.tileHeight);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &d.rowsPerStrip);
  }
  return d;
}

bool TIFFDirectory::readsDirectly() const {
  bool gray =
      photometric == PHOTOMETRIC_MINISBLACK && (samplesPerPixel == 1 || samplesPerPixel == 2);
  bool rgb = photometric == PHOTOMETRIC_RGB && (samplesPerPixel == 3 || samplesPerPixel == 4);
  bool integer = sampleFormat == SAMPLEFORMAT_UINT && (bitsPerSample == 8 || bitsPerSample == 16);
  bool real = isFloat() && bitsPerSample == 32;
  bool tiles = !tiled || (tileWidth > 0 && tileHeight > 0);
  return (gray || rgb) && (integer || real) && tiles && planar == PLANARCONFIG_CONTIG;
}

QImage::Format TIFFDirectory::directLayout() const {
  bool alpha = hasAlpha() && samplesPerPixel % 2 == 0;
  bool premultiplied = alpha && associatedAlpha();
  if (samplesPerPixel == 1 && !isFloat())
    return bitsPerSample == 16 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  if (isFloat())
    return !alpha          ? QImage::Format_RGBX32FPx4
           : premultiplied ? QImage::Format_RGBA32FPx4_Premultiplied
                           : QImage::Format_RGBA32FPx4;
  if (bitsPerSample == 16)
    return !alpha          ? QImage::Format_RGBX64
           : premultiplied ? QImage::Format_RGBA64_Premultiplied
                           : QImage::Format_RGBA64;
  return !alpha          ? QImage::Format_RGBX8888
         : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                         : QImage::Format_RGBA8888;
}

}  // namespace io
