// Decoding the stored pixels of many images at once for drawing them small,
// as the preview generator does: a pipeline that keeps a few decodes on the
// worker pool and only their stored bytes in memory.
#include <QThreadPool>
#include <deque>

#include "foundation/WorkerPool.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"

namespace {

// Decodes under way at once: enough for the pool to always have strips to
// decode while the next image's bytes are read, few enough that only their
// bytes are held.
constexpr size_t kDecodesAtOnce = 2;

struct PendingDecode {
  Image* image;
  std::shared_ptr<ClaimableTask<gfx::ImagePtr>> pixels;
};

}  // namespace

void Image::decodeStoredPixelsForDrawing(const QList<Image*>& images, const QList<double>& scales) {
  std::deque<PendingDecode> pending;
  auto adoptOldest = [&pending] {
    PendingDecode decode = std::move(pending.front());
    pending.pop_front();
    // Runs the decode here when no worker has taken it up yet.
    gfx::ImagePtr pixels = decode.pixels->result();
    if (!pixels) return;  // a draw decodes it again, and fails the same way
    decode.image->adoptsStoredPixels_ = true;
    decode.image->handleNSImage(pixels, nullptr);
  };
  for (qsizetype i = 0; i < images.size(); ++i) {
    Image* image = images[i];
    if (!image || image->localImage() || image->hasInMemoryVersion_) continue;
    const QByteArray data = image->primitiveValueForKeyWithoutKeeping("imageData").toByteArray();
    if (data.isEmpty()) continue;
    const double scale = scales.value(i, 1.0);
    auto pixels = std::make_shared<ClaimableTask<gfx::ImagePtr>>(
        [data, scale] { return ima_imageWithImageDataForScale(data, scale); });
    fnd::WorkerPool::shared()->start([pixels] { pixels->result(); });
    pending.push_back({image, std::move(pixels)});
    if (pending.size() >= kDecodesAtOnce) adoptOldest();
  }
  while (!pending.empty()) adoptOldest();
}
