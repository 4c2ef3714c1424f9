// What every fuzz target shares: one Qt application on the offscreen
// platform (fonts, PDF pages and text layout need it), quiet Qt messages,
// and image limits small enough that one input stays cheap to run.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "imageio/ImageLimits.h"

namespace fuzz {

// The fuzzer's bytes as the program would hold a file's contents.
QByteArray bytes(const uint8_t* data, size_t size);

// A folder private to this fuzzing process, removed when it ends.
QString privateFolder();

// Up to 16 million pixels and 16384 a side: room for every image a seed
// holds, and far below what would make each run slow.
io::ImageLimits limits();

// Reads every byte of the image's pixels, so a decoder that hands back a
// buffer shorter than its rows claim is caught by AddressSanitizer.
uint32_t checksum(const QImage& image);

// Opens `data` as an image file of `type` and decodes each image (at most
// eight) in full and as a thumbnail. Returns false when the bytes are not
// of that type, so the target can keep them out of its corpus.
bool decodeEveryImage(const QString& type, const QByteArray& data);

}  // namespace fuzz
