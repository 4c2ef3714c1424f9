#include "coreimage/PixelFormat.h"

#include <algorithm>
#include <cstring>

#include "coreimage/Vectorize.h"

namespace ci {

size_t bytesPerPixel(Format format) { return format == kCIFormatRGBAf ? 16 : 4; }

QImage::Format qImageFormat(Format format) {
  switch (format) {
    case kCIFormatBGRA8:
      return QImage::Format_ARGB32_Premultiplied;
    case kCIFormatRGBA8:
      return QImage::Format_RGBA8888_Premultiplied;
    case kCIFormatRGBAf:
      return QImage::Format_RGBA32FPx4_Premultiplied;
    case kCIFormatARGB8:
      break;
  }
  return QImage::Format_Invalid;
}

namespace {

// Channel order of each 8-bit layout: where R, G, B and A sit in a pixel.
struct Order {
  int r, g, b, a;
};

Order orderOf(Format format) {
  switch (format) {
    case kCIFormatARGB8:
      return {1, 2, 3, 0};
    case kCIFormatBGRA8:
      return {2, 1, 0, 3};
    default:
      return {0, 1, 2, 3};
  }
}

CI_VECTORIZE void load8(const uint8_t* s, Order o, float* d, int count) {
  constexpr float scale = 1.0f / 255.0f;
  for (int i = 0; i < count; ++i, s += 4, d += 4) {
    d[0] = s[o.r] * scale;
    d[1] = s[o.g] * scale;
    d[2] = s[o.b] * scale;
    d[3] = s[o.a] * scale;
  }
}

CI_VECTORIZE void loadRGBA8(const uint8_t* s, float* d, int count) {
  constexpr float scale = 1.0f / 255.0f;
  for (int i = 0; i < count * 4; ++i) d[i] = s[i] * scale;
}

// Written as min/max and a conversion through int so the compiler turns the
// store loops into packed instructions.
inline uint8_t to8(float v) {
  const float scaled = std::min(std::max(v * 255.0f + 0.5f, 0.0f), 255.0f);
  return uint8_t(int(scaled));
}

CI_VECTORIZE void storeRGBA8(const float* s, uint8_t* d, int count) {
  for (int i = 0; i < count * 4; ++i) d[i] = to8(s[i]);
}

// The canvas's own layout, spelt out so its channel swap packs as well.
CI_VECTORIZE void storeBGRA8(const float* __restrict s, uint8_t* __restrict d, int count) {
  for (int i = 0; i < count; ++i) {
    d[i * 4 + 0] = to8(s[i * 4 + 2]);
    d[i * 4 + 1] = to8(s[i * 4 + 1]);
    d[i * 4 + 2] = to8(s[i * 4 + 0]);
    d[i * 4 + 3] = to8(s[i * 4 + 3]);
  }
}

CI_VECTORIZE void store8(const float* s, Order o, uint8_t* d, int count) {
  for (int i = 0; i < count; ++i, s += 4, d += 4) {
    d[o.r] = to8(s[0]);
    d[o.g] = to8(s[1]);
    d[o.b] = to8(s[2]);
    d[o.a] = to8(s[3]);
  }
}

// Straight (unassociated) alpha sources are premultiplied on the way in.
void premultiply(float* d, int count) {
  for (int i = 0; i < count; ++i, d += 4) {
    d[0] *= d[3];
    d[1] *= d[3];
    d[2] *= d[3];
  }
}

}  // namespace

void loadRow(const void* source, Format format, float* destination, int count) {
  if (format == kCIFormatRGBAf) {
    std::memcpy(destination, source, size_t(count) * 16);
  } else if (format == kCIFormatRGBA8) {
    loadRGBA8(static_cast<const uint8_t*>(source), destination, count);
  } else {
    load8(static_cast<const uint8_t*>(source), orderOf(format), destination, count);
  }
}

void storeRow(const float* source, Format format, void* destination, int count) {
  if (format == kCIFormatRGBAf) {
    std::memcpy(destination, source, size_t(count) * 16);
  } else if (format == kCIFormatRGBA8) {
    storeRGBA8(source, static_cast<uint8_t*>(destination), count);
  } else if (format == kCIFormatBGRA8) {
    storeBGRA8(source, static_cast<uint8_t*>(destination), count);
  } else {
    store8(source, orderOf(format), static_cast<uint8_t*>(destination), count);
  }
}

bool loadsQImageFormat(QImage::Format format) {
  switch (format) {
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_ARGB32:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGB32:
    case QImage::Format_RGBA32FPx4_Premultiplied:
    case QImage::Format_RGBA32FPx4:
      return true;
    default:
      return false;
  }
}

bool loadQImageRow(const uchar* source, QImage::Format format, float* destination, int count) {
  switch (format) {
    case QImage::Format_ARGB32_Premultiplied:
      load8(source, orderOf(kCIFormatBGRA8), destination, count);
      return true;
    case QImage::Format_RGBA8888_Premultiplied:
      loadRGBA8(source, destination, count);
      return true;
    case QImage::Format_ARGB32:
      load8(source, orderOf(kCIFormatBGRA8), destination, count);
      premultiply(destination, count);
      return true;
    case QImage::Format_RGBA8888:
      loadRGBA8(source, destination, count);
      premultiply(destination, count);
      return true;
    case QImage::Format_RGB32: {
      load8(source, orderOf(kCIFormatBGRA8), destination, count);
      for (int i = 0; i < count; ++i) destination[i * 4 + 3] = 1.0f;
      return true;
    }
    case QImage::Format_RGBA32FPx4_Premultiplied:
      std::memcpy(destination, source, size_t(count) * 16);
      return true;
    case QImage::Format_RGBA32FPx4:
      std::memcpy(destination, source, size_t(count) * 16);
      premultiply(destination, count);
      return true;
    default:
      return false;
  }
}

}  // namespace ci
