// Helpers the codecs share: the errors they report, reading destination
// options, and bringing pixels into the few layouts the encoders take.
#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include "graphics/CGImage.h"
#include "imageio/DecodeBudget.h"
#include "imageio/ImageCodec.h"

namespace fnd {
class Error;
}

namespace io::codec {

// FileReadCorruptFileError: "The PNG file is damaged or incomplete (detail)."
bool failRead(fnd::Error* error, const QString& formatName, const QString& detail);
// FileWriteUnknownError: "Could not write the PNG image (detail)."
bool failWrite(fnd::Error* error, const QString& formatName, const QString& detail);

// The budget a decode charges: the request's when it carries one, else one
// of its own sized by the request's limits.
class RequestBudget {
 public:
  RequestBudget(const DecodeRequest& request, const QString& formatName);
  DecodeBudget* operator->() { return budget_; }
  DecodeBudget& operator*() { return *budget_; }
  DecodeBudget* get() { return budget_; }

 private:
  DecodeBudget own_;
  DecodeBudget* budget_;
};

// A `width`×`height` image of `format`, reserved in `budget` before it is
// allocated; a null image with `error` filled when the limits or the
// system refuse it. Its pixels are not initialised.
QImage allocateImage(DecodeBudget& budget, int64_t width, int64_t height, QImage::Format format,
                     fnd::Error* error);

// Options: the value under `key` in `properties`, else in its
// `dictionary` sub-dictionary (e.g. Compression in {TIFF}).
QVariant option(const QVariantMap& properties, const QString& key,
                const QString& dictionary = QString());

// Whether the written file should carry alpha: the image has some and
// neither HasAlpha nor the keep-alpha option says false.
bool keepsAlpha(const gfx::CGImage& image, const QVariantMap& properties);
// Lossy quality in [0, 1]; `fallback` when not given.
double quality(const QVariantMap& properties, double fallback);
// DPI from DPIWidth/DPIHeight; 0 when not given.
double dpiWidth(const QVariantMap& properties);
double dpiHeight(const QVariantMap& properties);
// A resolution stored as pixels a metre, as DPI rounded to hundredths.
// Computed in double: files may claim up to 2³¹ − 1 pixels a metre.
double dpiOfPixelsPerMeter(double pixelsPerMeter);
// Orientation 1–8; 1 when not given or out of range.
int orientation(const QVariantMap& properties);

// 8 or 16: deeper sources (16-bit and float) are written at 16 bits by the
// formats that can hold them.
int integerDepth(const gfx::CGImage& image);
bool isGray(const gfx::CGImage& image);

// The pixels as RGBA8888/RGBX8888 (depth 8) or RGBA64/RGBX64 (depth 16),
// straight (not premultiplied) alpha; Grayscale8/16 when `gray`.
QImage pixels(const gfx::CGImage& image, bool alpha, int depth, bool gray = false);
QImage pixels(const QImage& image, bool alpha, int depth, bool gray = false);

// Per-image properties every codec reports.
QVariantMap baseProperties(int width, int height, int depth, bool hasAlpha,
                           const QString& colorModel);

// `image` turned upright for EXIF-style orientation 1–8.
QImage applyOrientation(const QImage& image, int orientation);

// An image scaled so its longer side is at most `maxSide` (kept when
// already smaller).
QImage fitWithin(const QImage& image, int maxSide);

}  // namespace io::codec
