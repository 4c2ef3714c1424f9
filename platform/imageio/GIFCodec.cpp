#include "imageio/GIFCodec.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <QtEndian>
#include <cstring>
#include <functional>
#include <vector>

#include "foundation/Error.h"
#include "imageio/BoxReduction.h"
#include "imageio/CodecSupport.h"
#include "imageio/ImageProperties.h"
#include "imageio/ReducedGifCanvas.h"
#include "imageio/TypeIdentifiers.h"

namespace io {

namespace {

const QString kName = QStringLiteral("GIF");

struct GifInput {
  const char* data;
  size_t size;
  size_t position;
};

int readGif(GifFileType* gif, GifByteType* buffer, int length) {
  auto* input = static_cast<GifInput*>(gif->UserData);
  size_t count = std::min(size_t(std::max(length, 0)), input->size - input->position);
  std::memcpy(buffer, input->data + input->position, count);
  input->position += count;
  return int(count);
}

QString gifMessage(int code) {
  const char* text = GifErrorString(code);
  return text ? QString::fromUtf8(text) : QStringLiteral("giflib error %1").arg(code);
}

// One frame's descriptor with the control block that preceded it.
struct FrameRecord {
  GifImageDesc desc;
  GraphicsControlBlock control;
};

// What a frame visitor tells the walk to do next.
enum class Step { Continue, Stop, Fail };

// Walks every record. `onFrame` is called after each image descriptor and
// must consume the frame's data (decode or skip) unless it stops the walk.
class GifWalker {
 public:
  explicit GifWalker(const QByteArray& data) : input_{data.constData(), size_t(data.size()), 0} {
    gif_ = DGifOpen(&input_, readGif, &status_);
  }
  ~GifWalker() {
    if (gif_) DGifCloseFile(gif_, nullptr);
  }
  GifFileType* gif() const { return gif_; }
  QString failure() const { return gifMessage(gif_ ? gif_->Error : status_); }
  int loopCount() const { return loopCount_; }

  bool walk(const std::function<Step(const FrameRecord&)>& onFrame) {
    if (!gif_) return false;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    for (;;) {
      GifRecordType type;
      if (DGifGetRecordType(gif_, &type) == GIF_ERROR) return false;
      if (type == TERMINATE_RECORD_TYPE) return true;
      if (type == EXTENSION_RECORD_TYPE) {
        if (!readExtension(&control)) return false;
      } else if (type == IMAGE_DESC_RECORD_TYPE) {
        if (DGifGetImageDesc(gif_) == GIF_ERROR) return false;
        Step step = onFrame({gif_->Image, control});
        if (step != Step::Continue) return step == Step::Stop;
        control = {DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
      }
    }
  }

  bool skipFrameData() {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif_, &codeSize, &block) == GIF_ERROR) return false;
    while (block)
      if (DGifGetCodeNext(gif_, &block) == GIF_ERROR) return false;
    return true;
  }

 private:
  bool readExtension(GraphicsControlBlock* control) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR) return false;
    bool netscape = code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11 &&
                    std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
      DGifExtensionToGCB(block[0], block + 1, control);
    while (block) {
      if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR) return false;
      if (netscape && block && block[0] >= 3 && block[1] == 1)
        loopCount_ = block[2] | (block[3] << 8);
    }
    return true;
  }

  GifInput input_;
  int status_ = 0;
  GifFileType* gif_ = nullptr;
  int loopCount_ = -1;
};

// Decodes the current frame's rows in the order they are stored (an
// interlaced frame in its four passes) as RGBA8888, alpha 0 where the frame
// is transparent, and hands each to `onRow` with its row on the screen.
bool readFrameRows(GifFileType* gif, const FrameRecord& frame,
                   const std::function<void(int y, const uchar* rgba)>& onRow) {
  const ColorMapObject* map = frame.desc.ColorMap ? frame.desc.ColorMap : gif->SColorMap;
  int width = frame.desc.Width, height = frame.desc.Height;
  std::vector<GifPixelType> line(size_t(std::max(width, 1)));
  std::vector<uint32_t> rgba(line.size());
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  int passes = frame.desc.Interlace ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    int start = frame.desc.Interlace ? kStart[pass] : 0,
        step = frame.desc.Interlace ? kStep[pass] : 1;
    for (int row = start; row < height; row += step) {
      if (DGifGetLine(gif, line.data(), width) == GIF_ERROR) return false;
      if (!map) continue;
      for (int x = 0; x < width; ++x) {
        int index = line[size_t(x)];
        const GifColorType& c = map->Colors[index < map->ColorCount ? index : 0];
        bool clear = index == frame.control.TransparentColor || index >= map->ColorCount;
        rgba[size_t(x)] = clear ? 0
                                : qToLittleEndian(uint32_t(c.Red) | uint32_t(c.Green) << 8 |
                                                  uint32_t(c.Blue) << 16 | 0xff000000u);
      }
      onRow(frame.desc.Top + row, reinterpret_cast<const uchar*>(rgba.data()));
    }
  }
  return true;
}

// Paints the current frame's opaque pixels onto the canvas, clipped to the
// logical screen.
bool paintFrame(GifFileType* gif, const FrameRecord& frame, QImage* canvas) {
  int left = frame.desc.Left;
  int first = std::max(0, -left), last = std::min(frame.desc.Width, canvas->width() - left);
  return readFrameRows(gif, frame, [&](int y, const uchar* rgba) {
    if (y < 0 || y >= canvas->height()) return;
    auto* out = reinterpret_cast<uint32_t*>(canvas->scanLine(y)) + left;
    auto* in = reinterpret_cast<const uint32_t*>(rgba);
    for (int x = first; x < last; ++x)
      if (in[x]) out[x] = in[x];
  });
}

bool paintReducedFrame(GifFileType* gif, const FrameRecord& frame, ReducedGifCanvas* canvas) {
  bool ok = readFrameRows(gif, frame, [&](int y, const uchar* rgba) {
    canvas->addFrameRow(y, frame.desc.Left, rgba, frame.desc.Width);
  });
  canvas->finishFrame();
  return ok;
}

// Composes the frames up to the one the request asks for with `paint`,
// clearing areas with `clear` as the frames' disposal says. False with
// `error` filled when the file is damaged or has no such frame.
bool composeFrames(GifWalker& walker, const DecodeRequest& request,
                   const std::function<bool(const FrameRecord&)>& paint,
                   const std::function<void(const QRect&)>& clear, fnd::Error* error) {
  int index = 0;
  bool found = false;
  fnd::Error frameError;
  bool ok = walker.walk([&](const FrameRecord& frame) {
    if (!request.limits.check(frame.desc.Width, frame.desc.Height, kName, &frameError))
      return Step::Fail;
    bool target = index++ == request.index;
    // A frame that restores what was under it leaves nothing for the frames
    // after it, so only the frame asked for is painted; the canvas is never
    // copied.
    if (!target && frame.control.DisposalMode == DISPOSE_PREVIOUS)
      return walker.skipFrameData() ? Step::Continue : Step::Fail;
    if (!paint(frame)) return Step::Fail;
    if (target) {
      found = true;
      return Step::Stop;
    }
    if (frame.control.DisposalMode == DISPOSE_BACKGROUND)
      clear(QRect(frame.desc.Left, frame.desc.Top, frame.desc.Width, frame.desc.Height));
    return Step::Continue;
  });
  if (!frameError.isNull()) return fnd::fail(error, frameError);
  if (!ok) return codec::failRead(error, kName, walker.failure());
  if (!found)
    return codec::failRead(error, kName,
                           QStringLiteral("there is no frame %1").arg(request.index + 1));
  return true;
}

void clearRect(QImage* canvas, const QRect& rect) {
  QRect area = rect & canvas->rect();
  for (int y = area.top(); y <= area.bottom(); ++y)
    std::memset(canvas->scanLine(y) + area.left() * 4, 0, size_t(area.width()) * 4);
}

// Palette and indices for one frame. Alpha is made binary first (GIF has a
// single transparent index), and every transparent pixel gets the same
// colour so the quantizer spends one entry on them.
struct QuantizedFrame {
  std::vector<GifColorType> palette;
  std::vector<unsigned char> indices;
  int transparentIndex = NO_TRANSPARENT_COLOR;
};

bool quantize(QImage pixels, bool alpha, QuantizedFrame* result, QString* failure) {
  if (alpha) {
    for (int y = 0; y < pixels.height(); ++y) {
      auto* row = reinterpret_cast<uint32_t*>(pixels.scanLine(y));
      for (int x = 0; x < pixels.width(); ++x)
        row[x] =
            (qFromLittleEndian(row[x]) >> 24) < 128 ? 0 : row[x] | qToLittleEndian(0xff000000u);
    }
  }
  liq_attr* attr = liq_attr_create();
  // Speed 8 of 10 keeps a 12-megapixel frame under a second with little
  // visible loss against the slower settings.
  liq_set_speed(attr, 8);
  liq_image* image = liq_image_create_rgba(attr, pixels.bits(), pixels.width(), pixels.height(), 0);
  liq_result* quantized = nullptr;
  liq_error status = image ? liq_image_quantize(image, attr, &quantized) : LIQ_INVALID_POINTER;
  bool ok = status == LIQ_OK;
  if (ok) {
    liq_set_dithering_level(quantized, 1.0f);
    result->indices.resize(size_t(pixels.width()) * size_t(pixels.height()));
    ok = liq_write_remapped_image(quantized, image, result->indices.data(),
                                  result->indices.size()) == LIQ_OK;
  }
  if (ok) {
    const liq_palette* palette = liq_get_palette(quantized);
    std::vector<bool> clear(palette->count, false);
    for (unsigned i = 0; i < palette->count; ++i) {
      const liq_color& c = palette->entries[i];
      result->palette.push_back({c.r, c.g, c.b});
      clear[i] = c.a < 128;
      if (clear[i] && result->transparentIndex == NO_TRANSPARENT_COLOR)
        result->transparentIndex = int(i);
    }
    if (result->transparentIndex != NO_TRANSPARENT_COLOR)
      for (unsigned char& index : result->indices)
        if (clear[index]) index = static_cast<unsigned char>(result->transparentIndex);
  } else {
    *failure = QStringLiteral("libimagequant error %1").arg(int(status));
  }
  if (quantized) liq_result_destroy(quantized);
  if (image) liq_image_destroy(image);
  liq_attr_destroy(attr);
  return ok;
}

int writeGif(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

ColorMapObject* mapFor(const QuantizedFrame& frame) {
  int count = 2;
  while (count < int(frame.palette.size())) count *= 2;
  std::vector<GifColorType> colors(size_t(count), GifColorType{0, 0, 0});
  std::copy(frame.palette.begin(), frame.palette.end(), colors.begin());
  return GifMakeMapObject(count, colors.data());
}

bool putLoop(GifFileType* gif, int loopCount) {
  unsigned char loop[] = {1, static_cast<unsigned char>(loopCount & 0xff),
                          static_cast<unsigned char>((loopCount >> 8) & 0xff)};
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 3, loop) != GIF_ERROR &&
         EGifPutExtensionTrailer(gif) != GIF_ERROR;
}

bool putFrame(GifFileType* gif, const QuantizedFrame& frame, int width, int height, double delay) {
  GraphicsControlBlock control{
      frame.transparentIndex != NO_TRANSPARENT_COLOR ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT, false,
      int(std::lround(delay * 100)), frame.transparentIndex};
  GifByteType extension[4];
  size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR)
    return false;
  ColorMapObject* map = mapFor(frame);
  bool ok = map && EGifPutImageDesc(gif, 0, 0, width, height, false, map) != GIF_ERROR;
  GifFreeMapObject(map);
  for (int y = 0; ok && y < height; ++y)
    ok = EGifPutLine(gif,
                     const_cast<GifPixelType*>(frame.indices.data() + size_t(y) * size_t(width)),
                     width) != GIF_ERROR;
  return ok;
}

double delayOf(const QVariantMap& properties) {
  return codec::option(properties, PropertyGIFDelayTime, PropertyGIFDictionary).toDouble();
}

}  // namespace

QStringList GIFCodec::types() const { return {TypeGIF}; }

bool GIFCodec::canWrite(const QString& type) const { return type == TypeGIF; }

QString GIFCodec::sniff(const QByteArray& data) const {
  return data.startsWith("GIF87a") || data.startsWith("GIF89a") ? TypeGIF : QString();
}

bool GIFCodec::readProperties(const QByteArray& data, SourceDescription* description,
                              fnd::Error* error) const {
  GifWalker walker(data);
  if (!walker.gif()) return codec::failRead(error, kName, walker.failure());
  GifFileType* gif = walker.gif();
  QList<QVariantMap> images;
  bool ok = walker.walk([&](const FrameRecord& frame) {
    QVariantMap properties =
        codec::baseProperties(gif->SWidth, gif->SHeight, 8, true, ColorModelRGB);
    properties[PropertyIsIndexed] = true;
    double delay = frame.control.DelayTime / 100.0;
    properties[PropertyGIFDictionary] =
        QVariantMap{{PropertyGIFUnclampedDelayTime, delay},
                    {PropertyGIFDelayTime, delay < 0.011 ? 0.1 : delay},
                    {PropertyGIFHasGlobalColorMap, gif->SColorMap != nullptr}};
    images.append(properties);
    return walker.skipFrameData() ? Step::Continue : Step::Fail;
  });
  if (!ok) return codec::failRead(error, kName, walker.failure());
  if (images.isEmpty())
    return codec::failRead(error, kName, QStringLiteral("the file holds no image"));
  description->type = TypeGIF;
  description->images = images;
  QVariantMap file{{PropertyGIFHasGlobalColorMap, gif->SColorMap != nullptr}};
  if (walker.loopCount() >= 0) file[PropertyGIFLoopCount] = walker.loopCount();
  description->properties = {{PropertyGIFDictionary, file}};
  return true;
}

gfx::CGImagePtr GIFCodec::readImage(const QByteArray& data, const DecodeRequest& request,
                                    fnd::Error* error) const {
  GifWalker walker(data);
  if (!walker.gif()) {
    codec::failRead(error, kName, walker.failure());
    return nullptr;
  }
  GifFileType* gif = walker.gif();
  codec::RequestBudget budget(request, kName);
  int factor = BoxReduction::factorFor(gif->SWidth, gif->SHeight, request.minimumLongerSide);
  if (factor > 1) {
    // A thumbnail: the frames are composed on a reduced canvas.
    ScopedReservation working(budget.get());
    if (!request.limits.check(gif->SWidth, gif->SHeight, kName, error) ||
        !working.reserve(ReducedGifCanvas::workingBytes(gif->SWidth, gif->SHeight, factor), error))
      return nullptr;
    ReducedGifCanvas canvas(gif->SWidth, gif->SHeight, factor);
    bool found = composeFrames(
        walker, request,
        [&](const FrameRecord& frame) { return paintReducedFrame(gif, frame, &canvas); },
        [&](const QRect& rect) { canvas.clear(rect); }, error);
    return found ? gfx::CGImage::make(canvas.image()) : nullptr;
  }
  QImage canvas =
      codec::allocateImage(*budget, gif->SWidth, gif->SHeight, QImage::Format_RGBA8888, error);
  if (canvas.isNull()) return nullptr;
  canvas.fill(Qt::transparent);
  bool found = composeFrames(
      walker, request, [&](const FrameRecord& frame) { return paintFrame(gif, frame, &canvas); },
      [&](const QRect& rect) { clearRect(&canvas, rect); }, error);
  return found ? gfx::CGImage::make(std::move(canvas)) : nullptr;
}

bool GIFCodec::write(const QString&, const QList<EncodeFrame>& frames,
                     const QVariantMap& fileProperties, QByteArray* output,
                     fnd::Error* error) const {
  int width = 0, height = 0;
  for (const EncodeFrame& frame : frames) {
    width = std::max(width, int(frame.image->width()));
    height = std::max(height, int(frame.image->height()));
  }
  if (width > 0xffff || height > 0xffff)
    return codec::failWrite(error, kName, QStringLiteral("a GIF side is at most 65535 pixels"));
  QByteArray bytes;
  int status = 0;
  GifFileType* gif = EGifOpen(&bytes, writeGif, &status);
  if (!gif) return codec::failWrite(error, kName, gifMessage(status));
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) != GIF_ERROR;
  QVariant loop = codec::option(fileProperties, PropertyGIFLoopCount, PropertyGIFDictionary);
  if (ok && (frames.size() > 1 || loop.isValid())) ok = putLoop(gif, loop.toInt());
  QString failure;
  for (const EncodeFrame& frame : frames) {
    if (!ok) break;
    bool alpha = codec::keepsAlpha(*frame.image, frame.properties);
    QuantizedFrame quantized;
    ok = quantize(codec::pixels(*frame.image, alpha, 8), alpha, &quantized, &failure) &&
         putFrame(gif, quantized, int(frame.image->width()), int(frame.image->height()),
                  delayOf(frame.properties));
  }
  if (!ok && failure.isEmpty()) failure = gifMessage(gif->Error);
  if (EGifCloseFile(gif, &status) == GIF_ERROR && ok) {
    ok = false;
    failure = gifMessage(status);
  }
  if (!ok) return codec::failWrite(error, kName, failure);
  *output = bytes;
  return true;
}

QStringList GIFCodec::embeddedProperties(const QString&) const { return QStringList{"HasAlpha"}; }

}  // namespace io
