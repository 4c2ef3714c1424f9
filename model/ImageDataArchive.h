// The image data blob of an image made only of pixels, laid out by hand so
// the TIFF is written straight into the blob and read where it lies: a 48 MB
// layer is never copied into or out of an archive. The bytes are the keyed
// archive the general archiver writes for the same image (a binary property
// list of {"$top": {"tiffImage": <TIFF>}}), so every keyed-archive reader
// reads them; only blobs of exactly this layout take the direct way back,
// anything else (older blobs, PDF images, other writers) goes through the
// unarchiver.
#pragma once

#include <QByteArray>

#include "graphics/BitmapImageRep.h"

class ImageDataArchive {
 public:
  // The blob holding `bitmap` as an LZW TIFF; empty when it cannot be
  // encoded.
  static QByteArray produce(const gfx::BitmapImageRep& bitmap);
  // The TIFF inside `blob` when the blob has exactly this layout, sharing
  // its bytes (valid while `blob` lives); a null array otherwise.
  static QByteArray tiffIn(const QByteArray& blob);
};
