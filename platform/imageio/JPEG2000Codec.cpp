#include "imageio/JPEG2000Codec.h"

#include <openjpeg.h>

#include <QThread>
#include <cstring>
#include <vector>

#include "foundation/Error.h"
#include "foundation/WorkerPool.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("JPEG 2000");
const QByteArray kJP2Signature("\x00\x00\x00\x0cjP  \r\n\x87\n", 12);
const QByteArray kCodestreamSignature("\xff\x4f\xff\x51", 4);

// A byte buffer as an OpenJPEG stream; reading borrows, writing grows.
struct OpjBuffer {
  const char* data = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;
  std::vector<char>* written = nullptr;
  QString message;
};

OPJ_SIZE_T readStream(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<OpjBuffer*>(user);
  if (b->position >= b->size) return OPJ_SIZE_T(-1);
  uint64_t n = std::min<uint64_t>(count, b->size - b->position);
  std::memcpy(buffer, b->data + b->position, n);
  b->position += n;
  return OPJ_SIZE_T(n);
}

OPJ_SIZE_T writeStream(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<OpjBuffer*>(user);
  uint64_t end = b->position + count;
  if (end > b->written->size()) b->written->resize(end);
  std::memcpy(b->written->data() + b->position, buffer, count);
  b->position = end;
  b->size = std::max<uint64_t>(b->size, end);
  return count;
}

OPJ_OFF_T skipStream(OPJ_OFF_T count, void* user) {
  auto* b = static_cast<OpjBuffer*>(user);
  int64_t target = int64_t(b->position) + count;
  if (target < 0 || (!b->written && uint64_t(target) > b->size)) return -1;
  b->position = uint64_t(target);
  return count;
}

OPJ_BOOL seekStream(OPJ_OFF_T position, void* user) {
  auto* b = static_cast<OpjBuffer*>(user);
  if (position < 0 || (!b->written && uint64_t(position) > b->size)) return OPJ_FALSE;
  b->position = uint64_t(position);
  return OPJ_TRUE;
}

void onError(const char* message, void* user) {
  auto* b = static_cast<OpjBuffer*>(user);
  if (b->message.isEmpty()) b->message = QString::fromUtf8(message).trimmed();
}

void onQuiet(const char*, void*) {}

opj_stream_t* makeStream(OpjBuffer* buffer, bool input) {
  opj_stream_t* stream = opj_stream_create(1 << 16, input ? OPJ_TRUE : OPJ_FALSE);
  opj_stream_set_user_data(stream, buffer, nullptr);
  opj_stream_set_user_data_length(stream, buffer->size);
  opj_stream_set_read_function(stream, readStream);
  opj_stream_set_write_function(stream, writeStream);
  opj_stream_set_skip_function(stream, skipStream);
  opj_stream_set_seek_function(stream, seekStream);
  return stream;
}

void routeMessages(opj_codec_t* codec, OpjBuffer* buffer) {
  opj_set_error_handler(codec, onError, buffer);
  opj_set_warning_handler(codec, onQuiet, buffer);
  opj_set_info_handler(codec, onQuiet, buffer);
}

// Inside a worker of the shared pool the call is one band of parallel work
// already: like every other parallel loop there, it runs on its own thread.
int threadCount() {
  return fnd::WorkerPool::isWorkerThread() ? 1 : std::clamp(QThread::idealThreadCount(), 1, 4);
}

// ⌈value / 2^power⌉, the size of a grid at a lower resolution level.
int64_t atLevel(int64_t value, int power) { return (value + (int64_t(1) << power) - 1) >> power; }

// An open decoder that has read the main header; releases everything.
class Decoder {
 public:
  explicit Decoder(const QByteArray& data) {
    buffer_.data = data.constData();
    buffer_.size = uint64_t(data.size());
    codestream_ = data.startsWith(kCodestreamSignature);
    codec_ = opj_create_decompress(codestream_ ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    routeMessages(codec_, &buffer_);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    stream_ = makeStream(&buffer_, true);
    // Strict mode makes a cut-short codestream an error instead of a
    // silently blurred image.
    ready_ =
        opj_setup_decoder(codec_, &parameters) && opj_decoder_set_strict_mode(codec_, OPJ_TRUE) &&
        opj_codec_set_threads(codec_, threadCount()) && opj_read_header(stream_, codec_, &image_) &&
        image_ && image_->numcomps > 0 && image_->x1 > image_->x0 && image_->y1 > image_->y0;
  }
  ~Decoder() {
    if (image_) opj_image_destroy(image_);
    if (stream_) opj_stream_destroy(stream_);
    if (codec_) opj_destroy_codec(codec_);
  }
  bool ready() const { return ready_; }
  bool decode() {
    return opj_decode(codec_, stream_, image_) && opj_end_decompress(codec_, stream_);
  }
  // Decodes only the rows [y0, y1) of the full-resolution grid.
  bool decodeRows(int64_t y0, int64_t y1) {
    return opj_set_decode_area(codec_, image_, OPJ_INT32(image_->x0), OPJ_INT32(y0),
                               OPJ_INT32(image_->x1), OPJ_INT32(y1)) &&
           decode();
  }
  opj_image_t* image() const { return image_; }
  bool isCodestream() const { return codestream_; }
  QString failure() const {
    return buffer_.message.isEmpty() ? QStringLiteral("not a JPEG 2000 image") : buffer_.message;
  }
  // Decodes `levels` resolution levels fewer, each halving the sides.
  // Asks for fewer when the file has not that many; returns how many.
  int reduceBy(int levels) {
    while (levels > 0 && !opj_set_decoded_resolution_factor(codec_, OPJ_UINT32(levels))) --levels;
    buffer_.message.clear();
    reduction_ = levels;
    return levels;
  }
  int reduction() const { return reduction_; }
  // The size decoded, after any reduction.
  int width() const {
    return int(atLevel(image_->x1, reduction_) - atLevel(image_->x0, reduction_));
  }
  int height() const {
    return int(atLevel(image_->y1, reduction_) - atLevel(image_->y0, reduction_));
  }
  // What OpenJPEG holds while it decodes the rows [y0, y1) of the
  // full-resolution grid, all of the image when `whole`: see rowsPerBand().
  uint64_t heldBytes(int64_t y0, int64_t y1, bool whole) const {
    if (whole) return codedBytes() + componentBytes(y0, y1);
    return codedBytes() + 3 * componentBytes(y0, y1) + componentBytes(image_->y0, image_->y1) / 4;
  }
  uint64_t codedBytes() const { return buffer_.size; }
  // Every component of the rows [y0, y1) as 32-bit samples.
  uint64_t componentBytes(int64_t y0, int64_t y1) const {
    uint64_t bytes = 0;
    for (OPJ_UINT32 c = 0; c < image_->numcomps; ++c) {
      const opj_image_comp_t& comp = image_->comps[c];
      int64_t dx = std::max<OPJ_UINT32>(comp.dx, 1), dy = std::max<OPJ_UINT32>(comp.dy, 1);
      int64_t w = atLevel((image_->x1 + dx - 1) / dx, reduction_) -
                  atLevel((image_->x0 + dx - 1) / dx, reduction_);
      int64_t h = atLevel((y1 + dy - 1) / dy, reduction_) - atLevel((y0 + dy - 1) / dy, reduction_);
      bytes += uint64_t(std::max<int64_t>(w, 0)) * uint64_t(std::max<int64_t>(h, 0)) * 4;
    }
    return bytes;
  }
  bool hasAlpha() const {
    return image_->numcomps == 2 || image_->numcomps >= 4 ||
           image_->comps[image_->numcomps - 1].alpha;
  }
  int precision() const {
    OPJ_UINT32 bits = 0;
    for (OPJ_UINT32 c = 0; c < image_->numcomps; ++c) bits = std::max(bits, image_->comps[c].prec);
    return int(bits);
  }

 private:
  OpjBuffer buffer_;
  bool codestream_ = false;
  opj_codec_t* codec_ = nullptr;
  opj_stream_t* stream_ = nullptr;
  opj_image_t* image_ = nullptr;
  bool ready_ = false;
  int reduction_ = 0;
};

// Where a decoded area lands in the output: rows [firstRow, lastRow) of an
// output whose first pixel lies at (originX, originY) of the grid
// `reduction` levels down, decoded from the area whose top-left corner is
// (areaX0, areaY0) on the full-resolution grid.
struct Band {
  int reduction;
  int64_t originX, originY;
  int64_t areaX0, areaY0;
  int firstRow, lastRow;
};

// A component's samples for the band's rows, scaled to `bits` bits; the
// component may be subsampled and signed.
template <typename T>
void copyComponent(const opj_image_comp_t& comp, const Band& band, int bits, QImage* out,
                   int channels, int slot) {
  int dx = int(std::max<OPJ_UINT32>(comp.dx, 1)), dy = int(std::max<OPJ_UINT32>(comp.dy, 1));
  int64_t compX0 = atLevel((band.areaX0 + dx - 1) / dx, band.reduction);
  int64_t compY0 = atLevel((band.areaY0 + dy - 1) / dy, band.reduction);
  int prec = int(std::clamp<OPJ_UINT32>(comp.prec, 1, 31));
  int64_t maxIn = (int64_t(1) << prec) - 1, maxOut = (int64_t(1) << bits) - 1;
  int64_t offset = comp.sgnd ? (int64_t(1) << (prec - 1)) : 0;
  for (int y = band.firstRow; y < band.lastRow; ++y) {
    T* row = reinterpret_cast<T*>(out->scanLine(y));
    int64_t cy = std::min<int64_t>((y + band.originY) / dy - compY0, int64_t(comp.h) - 1);
    const OPJ_INT32* source = comp.data + std::max<int64_t>(cy, 0) * comp.w;
    for (int x = 0; x < out->width(); ++x) {
      int64_t cx = std::min<int64_t>((x + band.originX) / dx - compX0, int64_t(comp.w) - 1);
      int64_t value = std::clamp<int64_t>(source[std::max<int64_t>(cx, 0)] + offset, 0, maxIn);
      row[x * channels + slot] = T((value * maxOut + maxIn / 2) / maxIn);
    }
  }
}

template <typename T>
void fillBand(const opj_image_t* image, const Band& band, int bits, QImage* out) {
  int n = int(image->numcomps);
  if (out->format() == QImage::Format_Grayscale8 || out->format() == QImage::Format_Grayscale16) {
    copyComponent<T>(image->comps[0], band, bits, out, 1, 0);
    return;
  }
  bool gray = n <= 2;
  for (int slot = 0; slot < 3; ++slot)
    copyComponent<T>(image->comps[gray ? 0 : slot], band, bits, out, 4, slot);
  if (n == 2 || n >= 4) {
    copyComponent<T>(image->comps[n == 2 ? 1 : 3], band, bits, out, 4, 3);
  } else {
    for (int y = band.firstRow; y < band.lastRow; ++y) {
      T* row = reinterpret_cast<T*>(out->scanLine(y));
      for (int x = 0; x < out->width(); ++x) row[x * 4 + 3] = T((1 << bits) - 1);
    }
  }
}

QImage::Format layoutFor(const Decoder& decoder) {
  bool deep = decoder.precision() > 8;
  int n = int(decoder.image()->numcomps);
  if (n == 1) return deep ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
  if (n == 2 || n >= 4) return deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
  return deep ? QImage::Format_RGBX64 : QImage::Format_RGBX8888;
}

int resolutionsFor(int width, int height) {
  int levels = 1;
  while (levels < 6 && (std::min(width, height) >> levels) > 0) ++levels;
  return levels;
}

opj_image_t* imageFor(const QImage& pixels, int components, int depth) {
  std::vector<opj_image_cmptparm_t> parameters(static_cast<size_t>(components));
  for (opj_image_cmptparm_t& p : parameters) {
    std::memset(&p, 0, sizeof p);
    p.dx = p.dy = 1;
    p.w = OPJ_UINT32(pixels.width());
    p.h = OPJ_UINT32(pixels.height());
    p.prec = OPJ_UINT32(depth);
  }
  OPJ_COLOR_SPACE space = components <= 2 ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB;
  opj_image_t* image = opj_image_create(OPJ_UINT32(components), parameters.data(), space);
  if (!image) return nullptr;
  image->x1 = OPJ_UINT32(pixels.width());
  image->y1 = OPJ_UINT32(pixels.height());
  if (components == 2 || components == 4) image->comps[components - 1].alpha = 1;
  int stride = components == 1 ? 1 : 4;
  for (int y = 0; y < pixels.height(); ++y) {
    const uchar* row8 = pixels.constScanLine(y);
    auto row16 = reinterpret_cast<const uint16_t*>(row8);
    for (int x = 0; x < pixels.width(); ++x) {
      size_t at = size_t(y) * size_t(pixels.width()) + size_t(x);
      for (int c = 0; c < components; ++c) {
        int slot = components == 2 && c == 1 ? 3 : c;
        int index = x * stride + slot;
        image->comps[c].data[at] = depth == 16 ? row16[index] : row8[index];
      }
    }
  }
  return image;
}

// Resolution levels to leave out so the longer side stays at least
// `minimumLongerSide`; none when no reduction is asked for.
int levelsFor(const Decoder& decoder, int minimumLongerSide) {
  int levels = 0;
  int longer = std::max(decoder.width(), decoder.height());
  while (minimumLongerSide > 0 && levels < 30 && longer >> (levels + 1) >= minimumLongerSide)
    ++levels;
  return levels;
}

// Output rows decoded at once. OpenJPEG holds the file's coded data and
// every component of what it decodes as 32-bit samples, several times the
// output's bytes; for part of an image, three times over (the decoded
// blocks, the tile's window, the image's copy of it), plus state that grows
// with the whole image, a fifth to a seventh of all its samples (measured
// at 3 and 12 megapixels; a quarter is counted). The whole image is decoded at once when that
// fits what the budget has left, beside a little room for the library's own
// state; else in bands that fit, each decoding the file again, whole
// code-blocks high (64 rows) to keep the blocks decoded twice few. Bands
// cost a pass over the file each, so they are kept for images the budget
// cannot hold at once.
int rowsPerBand(const Decoder& decoder, const DecodeBudget& budget) {
  const opj_image_t& image = *decoder.image();
  uint64_t height = uint64_t(std::max(decoder.height(), 1));
  uint64_t room =
      budget.available() - std::min(budget.available(), DecodeBudget::kWorkingBytes / 8);
  if (decoder.heldBytes(image.y0, image.y1, true) <= room) return int(height);
  uint64_t perRow = 3 * decoder.componentBytes(image.y0, image.y1) / height;
  uint64_t fixed = decoder.heldBytes(image.y0, image.y0, false);
  uint64_t rows = (room - std::min(room, fixed)) / std::max<uint64_t>(perRow, 1);
  return int(std::clamp<uint64_t>(rows / 64 * 64, 64, height));
}

// Decodes the band's rows with `decoder` (all of them when `whole`) and
// copies them into `out`, charging the decoded samples while they live.
bool decodeBand(Decoder& decoder, const Band& band, bool whole, QImage* out, DecodeBudget& budget,
                fnd::Error* error) {
  int64_t y0 = band.areaY0;
  int64_t y1 =
      std::min<int64_t>(decoder.image()->y1, (band.originY + band.lastRow) << band.reduction);
  ScopedReservation samples(&budget);
  if (!samples.reserve(decoder.heldBytes(y0, y1, whole), error)) return false;
  if (!(whole ? decoder.decode() : decoder.decodeRows(y0, y1)))
    return codec::failRead(error, kName, decoder.failure());
  const opj_image_t* image = decoder.image();
  for (OPJ_UINT32 c = 0; c < image->numcomps; ++c)
    if (!image->comps[c].data)
      return codec::failRead(error, kName, QStringLiteral("component %1 has no data").arg(c));
  if (decoder.precision() > 8)
    fillBand<uint16_t>(image, band, 16, out);
  else
    fillBand<uint8_t>(image, band, 8, out);
  return true;
}

}  // namespace

QStringList JPEG2000Codec::types() const { return {TypeJPEG2000}; }

bool JPEG2000Codec::canWrite(const QString& type) const { return type == TypeJPEG2000; }

QString JPEG2000Codec::sniff(const QByteArray& data) const {
  return data.startsWith(kJP2Signature) || data.startsWith(kCodestreamSignature) ? TypeJPEG2000
                                                                                 : QString();
}

bool JPEG2000Codec::readProperties(const QByteArray& data, SourceDescription* description,
                                   fnd::Error* error) const {
  Decoder decoder(data);
  if (!decoder.ready()) return codec::failRead(error, kName, decoder.failure());
  int n = int(decoder.image()->numcomps);
  QVariantMap properties =
      codec::baseProperties(decoder.width(), decoder.height(), decoder.precision(),
                            decoder.hasAlpha(), n <= 2 ? ColorModelGray : ColorModelRGB);
  properties[PropertyJPEG2000Dictionary] =
      QVariantMap{{PropertyJPEG2000IsCodestream, decoder.isCodestream()}};
  description->type = TypeJPEG2000;
  description->images = {properties};
  return true;
}

gfx::CGImagePtr JPEG2000Codec::readImage(const QByteArray& data, const DecodeRequest& request,
                                         fnd::Error* error) const {
  Decoder decoder(data);
  if (!decoder.ready()) {
    codec::failRead(error, kName, decoder.failure());
    return nullptr;
  }
  // The stored size is checked against the limits even when decoding
  // reduced, as the full-size image would be.
  if (request.index != 0 || !request.limits.check(decoder.width(), decoder.height(), kName, error))
    return nullptr;
  int levels = decoder.reduceBy(levelsFor(decoder, request.minimumLongerSide));
  codec::RequestBudget budget(request, kName);
  QImage image =
      codec::allocateImage(*budget, decoder.width(), decoder.height(), layoutFor(decoder), error);
  if (image.isNull()) return nullptr;
  const opj_image_t& header = *decoder.image();
  Band band{levels, atLevel(header.x0, levels), atLevel(header.y0, levels), header.x0, header.y0, 0,
            0};
  int rows = rowsPerBand(decoder, *budget);
  for (band.firstRow = 0; band.firstRow < image.height(); band.firstRow += rows) {
    band.lastRow = std::min(image.height(), band.firstRow + rows);
    bool whole = band.firstRow == 0 && band.lastRow == image.height();
    if (whole) {
      if (!decodeBand(decoder, band, true, &image, *budget, error)) return nullptr;
      continue;
    }
    // OpenJPEG decodes an area once; each band reads the header again.
    Decoder part(data);
    if (!part.ready() || part.reduceBy(levels) != levels) {
      codec::failRead(error, kName, part.failure());
      return nullptr;
    }
    band.areaY0 = std::max<int64_t>(header.y0, (band.originY + band.firstRow) << levels);
    if (!decodeBand(part, band, false, &image, *budget, error)) return nullptr;
  }
  return gfx::CGImage::make(std::move(image));
}

bool JPEG2000Codec::write(const QString&, const QList<EncodeFrame>& frames, const QVariantMap&,
                          QByteArray* output, fnd::Error* error) const {
  if (frames.size() != 1) return codec::failWrite(error, kName, "a JPEG 2000 file holds one image");
  const gfx::CGImage& source = *frames.first().image;
  const QVariantMap& properties = frames.first().properties;
  bool alpha = codec::keepsAlpha(source, properties);
  bool gray = codec::isGray(source) && !alpha;
  int depth = codec::integerDepth(source);
  QImage pixels = codec::pixels(source, alpha, depth, gray);
  int components = gray ? 1 : alpha ? 4 : 3;

  opj_cparameters_t parameters;
  opj_set_default_encoder_parameters(&parameters);
  parameters.tcp_numlayers = 1;
  parameters.cp_disto_alloc = 1;
  double quality = codec::quality(properties, 1.0);
  // Quality 1 is lossless; below it, the compression ratio grows to 100:1.
  parameters.irreversible = quality < 1.0 ? 1 : 0;
  parameters.tcp_rates[0] = quality < 1.0 ? float(1.0 + (1.0 - quality) * 99.0) : 0.0f;
  parameters.numresolution = resolutionsFor(pixels.width(), pixels.height());
  parameters.tcp_mct = components >= 3 ? 1 : 0;

  opj_image_t* image = imageFor(pixels, components, depth);
  if (!image) return codec::failWrite(error, kName, QStringLiteral("not enough memory"));
  std::vector<char> bytes;
  bytes.reserve(size_t(pixels.sizeInBytes() / 2 + 1024));
  OpjBuffer buffer;
  buffer.written = &bytes;
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  routeMessages(codec, &buffer);
  opj_stream_t* stream = makeStream(&buffer, false);
  bool ok = opj_setup_encoder(codec, &parameters, image) &&
            opj_codec_set_threads(codec, threadCount()) &&
            opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
            opj_end_compress(codec, stream);
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  if (!ok)
    return codec::failWrite(error, kName,
                            buffer.message.isEmpty() ? "OpenJPEG failed" : buffer.message);
  *output = QByteArray(bytes.data(), qsizetype(buffer.size));
  return true;
}

QStringList JPEG2000Codec::embeddedProperties(const QString&) const {
  return QStringList{"HasAlpha", DestinationLossyCompressionQuality};
}

}  // namespace io
