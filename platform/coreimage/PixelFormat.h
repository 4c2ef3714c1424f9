// Pixel layouts the render context writes and float/8-bit bitmaps are read
// in, with the row converters between them and the engine's float buffers.
// All layouts are premultiplied; 8-bit values round to nearest and clamp.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace ci {

enum Format {
  kCIFormatARGB8,  // bytes A R G B
  kCIFormatBGRA8,  // bytes B G R A (QImage::Format_ARGB32_Premultiplied here)
  kCIFormatRGBA8,  // bytes R G B A
  kCIFormatRGBAf,  // four 32-bit floats R G B A
};

size_t bytesPerPixel(Format format);
// The QImage format holding the same bytes.
QImage::Format qImageFormat(Format format);

// Converts `count` pixels between a packed layout and premultiplied RGBA floats.
void loadRow(const void* source, Format format, float* destination, int count);
void storeRow(const float* source, Format format, void* destination, int count);

// Whether loadQImageRow reads `format` directly; the others are converted
// by the caller first.
bool loadsQImageFormat(QImage::Format format);
// Reads a row of a format loadsQImageFormat accepts; returns false, reading
// nothing, for the others.
bool loadQImageRow(const uchar* source, QImage::Format format, float* destination, int count);

}  // namespace ci
