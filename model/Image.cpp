#include "model/Image.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTimeZone>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "coredata/PersistentStoreCoordinator.h"
#include "coreimage/WorkerPool.h"
#include "foundation/KeyedUnarchiver.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "foundation/UndoManager.h"
#include "graphics/BitmapImageRep.h"
#include "graphics/PDFImageRep.h"
#include "imageio/ImageProperties.h"
#include "imageio/ImageSource.h"
#include "model/IMAManagedObjectContext.h"
#include "model/IMImagesUtilities.h"
#include "model/ImageDataArchive.h"
#include "model/ImageDelegate.h"
#include "model/ImagesCacheFolder.h"
#include "model/Layer.h"
#include "model/ModelVariant.h"

namespace {

// Versions that have no readable cache file, by token, so a reload of one
// is served from memory instead: files still being written (a reader must
// not see them half-written), files whose write failed (their pixels exist
// nowhere else) and empty versions, which never get a file.
std::mutex gPendingMutex;
// A version being written keeps its pixels (served to reloads) and the
// encode of its bytes, which a save shares rather than repeats.
struct PendingWrite {
  gfx::ImagePtr image;
  std::shared_ptr<ClaimableTask<QByteArray>> bytes;
  bool started = false;  // from then on the file is written whatever happens
  const Image* owner = nullptr;
  // Whether a version kept in memory has its bytes made at once (the
  // current pixels, which the next save stores), or only if it spills.
  bool encodeWhenHeld = true;
};
QHash<qint64, PendingWrite>& pendingWrites() {
  static QHash<qint64, PendingWrite> writes;
  return writes;
}

// Versions kept in memory instead of a cache file, oldest first: a file is
// a spill, written only once they hold more than the budget. Undo and redo
// reload them from here, and a save takes the bytes they were encoded to.
struct HeldVersion {
  qint64 token = 0;
  const Image* owner = nullptr;
  gfx::ImagePtr image;
  std::shared_ptr<ClaimableTask<QByteArray>> bytes;
  qint64 size = 0;        // the pixels, and the bytes once encoded
  bool spilling = false;  // its file is being written
};
std::deque<HeldVersion>& heldVersions() {
  static std::deque<HeldVersion> versions;
  return versions;
}
qint64 gHeldBytes = 0;

// An eighth of the memory, at most 2 GiB: room for a few replaced layers of
// a large document, so undoing a change needs no file and a save none.
// TESSALY_UNDO_MEMORY (MiB) sets it otherwise; 0 writes every version.
qint64 defaultHeldVersionsBudget() {
  bool given = false;
  const qint64 mebibytes = qEnvironmentVariableIntValue("TESSALY_UNDO_MEMORY", &given);
  if (given && mebibytes >= 0) return mebibytes << 20;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  const qint64 memory = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
  return std::min<qint64>(memory / 8, qint64(2) << 30);
}
qint64 gHeldBudget = defaultHeldVersionsBudget();

qint64 pixelBytesOf(const gfx::ImagePtr& image) {
  auto bitmap = image ? image->firstRepresentationOfClass<gfx::BitmapImageRep>() : nullptr;
  gfx::CGImagePtr pixels = bitmap ? bitmap->cgImage() : nullptr;
  return pixels ? qint64(pixels->bytesPerRow()) * pixels->height() : 0;
}

std::deque<HeldVersion>::iterator findHeld(qint64 token) {
  auto& held = heldVersions();
  return std::find_if(held.begin(), held.end(),
                      [token](const HeldVersion& v) { return v.token == token; });
}
QHash<qint64, gfx::ImagePtr>& memoryOnlyVersions() {
  static QHash<qint64, gfx::ImagePtr> versions;
  return versions;
}

// Runs on the loading queue: reads one version file and touches no object.
gfx::ImagePtr readVersionFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? ima_imageWithImageData(file.readAll()) : nullptr;
}

std::mutex gTokenMutex;
qint64 gLastToken = 0;

// The size of the bitmap in an image data blob, from the TIFF header alone.
// PDF pages answer none: their size is known once the page is drawn.
// A blob of the direct layout is not parsed at all: its TIFF is found where
// it lies and only its first directory is read. Parsing the whole archive
// of a 50 MB layer took longer than the rest of opening it.
QSizeF storedBitmapSize(const QByteArray& data) {
  QByteArray tiff = ImageDataArchive::tiffIn(data);
  if (tiff.isNull()) {
    auto coder = fnd::KeyedUnarchiver::create(data, nullptr);
    if (!coder || coder->containsValueForKey("image") || !coder->containsValueForKey("tiffImage"))
      return {};
    tiff = coder->decodeDataForKey("tiffImage");
    if (coder->failed()) return {};
  }
  io::ImageSourcePtr source = io::ImageSource::createWithData(tiff);
  if (!source || source->count() == 0) return {};
  const QVariantMap properties = source->propertiesAtIndex(0);
  return QSizeF(properties.value(io::PropertyPixelWidth).toDouble(),
                properties.value(io::PropertyPixelHeight).toDouble());
}

// A layer is drawn reduced whenever the canvas is zoomed out: the half-size
// copy of its pixels is made as they arrive, so the first reduced draw finds
// it ready. The preview generator draws once, on the caller's thread.
void prepareReducedDrawing(const gfx::ImagePtr& image) {
  if (!image || ModelVariant::isPreviewGenerator()) return;
  if (auto bitmap = image->firstRepresentationOfClass<gfx::BitmapImageRep>())
    if (gfx::CGImagePtr pixels = bitmap->cgImage()) pixels->prepareHalfSizePixelsInBackground();
}

// Written under a temporary name and renamed, so a reader never sees a
// half-written version. Never synced: the folder dies with the process, so
// a version only has to outlive the process's own later reads of it.
bool writeCacheFile(const QString& path, const QByteArray& bytes) {
  const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".XXXXXX"));
  QByteArray name = temporary;
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  qsizetype written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += n;
  }
  const bool ok = ::close(fd) == 0 && written == bytes.size() &&
                  ::rename(name.constData(), QFile::encodeName(path).constData()) == 0;
  if (!ok) ::unlink(name.constData());
  return ok;
}

// Writes the files of the oldest versions kept in memory until the rest fit
// the budget. Each stays served from memory until its file is complete; a
// failed one stays in memory for good (its pixels exist nowhere else).
void spillVersionsBeyondBudget() {
  for (;;) {
    HeldVersion spilled;
    {
      std::lock_guard<std::mutex> lock(gPendingMutex);
      if (gHeldBytes <= gHeldBudget) return;
      auto& held = heldVersions();
      auto next =
          std::find_if(held.begin(), held.end(), [](const HeldVersion& v) { return !v.spilling; });
      if (next == held.end()) return;
      next->spilling = true;
      spilled = *next;
    }
    const QByteArray bytes = spilled.bytes->result();
    const QString path =
        Image::pathOfCachedImageWithDate(QDateTime::fromMSecsSinceEpoch(spilled.token, Qt::UTC));
    const bool ok = !bytes.isEmpty() && writeCacheFile(path, bytes);
    std::lock_guard<std::mutex> lock(gPendingMutex);
    auto done = findHeld(spilled.token);
    if (done == heldVersions().end()) continue;
    gHeldBytes -= done->size;
    heldVersions().erase(done);
    if (!ok) memoryOnlyVersions().insert(spilled.token, spilled.image);
  }
}

bool isSameToken(const QDateTime& a, const QDateTime& b) {
  return a.isValid() == b.isValid() &&
         (!a.isValid() || a.toMSecsSinceEpoch() == b.toMSecsSinceEpoch());
}

}  // namespace

Image::Image() : alive_(std::make_shared<bool>(true)) {}

Image::StoredDecode::StoredDecode(quint64 installs, const QByteArray& data)
    : installCount(installs),
      size([data] { return storedBitmapSize(data); }),
      // The header is read first, so a draw waiting for it never waits
      // for the whole decode. `size` lives as long as this task.
      task([this, data] {
        size.result();
        return ima_imageWithImageData(data);
      }) {}

Image::~Image() {
  *alive_ = false;
  forgetHeldVersions();
  if (stepEndObserver_ != 0)
    fnd::NotificationCenter::defaultCenter().removeObserver(stepEndObserver_);
  // The queue may be going with the context: a version still waiting for
  // its write stays served from memory, as one whose write failed.
  if (deferredWrite_ && pendingBytesFor(deferredWrite_->token))
    finishPendingWrite(deferredWrite_->token, false);
}

QString Image::imagesCacheDirectoryPath() {
  QString folder = ImagesCacheFolder::shared().path();
  if (folder.isEmpty()) return {};
  QString path = folder + "/Tessaly";
  QDir().mkdir(path);  // a failure shows later, as failed cache writes
  return path;
}

QString Image::cacheFileNameForDate(const QDateTime& date) {
  QDateTime local = date.toLocalTime();
  return QString::asprintf("%04d%03d%02d%02d%02d%03d", local.date().year(),
                           local.date().dayOfYear(), local.time().hour(), local.time().minute(),
                           local.time().second(), local.time().msec());
}

QString Image::pathOfCachedImageWithDate(const QDateTime& date) {
  return imagesCacheDirectoryPath() + "/" + cacheFileNameForDate(date);
}

QDateTime Image::newVersionToken() {
  std::lock_guard<std::mutex> lock(gTokenMutex);
  qint64 now = QDateTime::currentMSecsSinceEpoch();
  gLastToken = now > gLastToken ? now : gLastToken + 1;
  return QDateTime::fromMSecsSinceEpoch(gLastToken, Qt::UTC);
}

void Image::removeImagesCacheDirectory() { ImagesCacheFolder::shared().remove(); }

int Image::pendingCacheWrites() {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  const auto& held = heldVersions();
  return int(pendingWrites().size()) +
         int(std::count_if(held.begin(), held.end(),
                           [](const HeldVersion& v) { return v.spilling; }));
}

qint64 Image::setVersionsInMemoryBudget(qint64 bytes) {
  qint64 previous;
  {
    std::lock_guard<std::mutex> lock(gPendingMutex);
    previous = std::exchange(gHeldBudget, std::max<qint64>(bytes, 0));
  }
  spillVersionsBeyondBudget();
  return previous;
}

qint64 Image::versionsInMemoryBytes() {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  return gHeldBytes;
}

bool Image::fitsVersionsInMemoryBudget(const gfx::ImagePtr& image) {
  const qint64 size = pixelBytesOf(image);
  std::lock_guard<std::mutex> lock(gPendingMutex);
  return size > 0 && size <= gHeldBudget;
}

void Image::forgetHeldVersions() {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  auto& held = heldVersions();
  for (auto it = held.begin(); it != held.end();) {
    if (it->owner != this || it->spilling) {
      ++it;
      continue;
    }
    gHeldBytes -= it->size;
    it = held.erase(it);
  }
}

void Image::rememberPendingWrite(const QDateTime& token, gfx::ImagePtr image,
                                 std::shared_ptr<ClaimableTask<QByteArray>> bytes,
                                 bool encodeWhenHeld) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  pendingWrites().insert(token.toMSecsSinceEpoch(),
                         {std::move(image), std::move(bytes), false, this, encodeWhenHeld});
}

bool Image::holdVersion(const QDateTime& token) {
  const qint64 key = token.toMSecsSinceEpoch();
  std::shared_ptr<ClaimableTask<QByteArray>> encode;
  {
    std::lock_guard<std::mutex> lock(gPendingMutex);
    auto pending = pendingWrites().find(key);
    if (pending == pendingWrites().end()) return false;
    const qint64 size = pixelBytesOf(pending->image);
    if (size <= 0 || size > gHeldBudget) return false;
    heldVersions().push_back({key, pending->owner, pending->image, pending->bytes, size});
    gHeldBytes += size;
    if (pending->encodeWhenHeld) encode = pending->bytes;
    pendingWrites().erase(pending);
  }
  if (encode) {
    const qint64 encoded = encode->result().size();
    std::lock_guard<std::mutex> lock(gPendingMutex);
    auto held = findHeld(key);
    if (held != heldVersions().end() && !held->spilling) {
      held->size += encoded;
      gHeldBytes += encoded;
    }
  }
  spillVersionsBeyondBudget();
  return true;
}

void Image::rememberEmptyVersion(const QDateTime& token) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  memoryOnlyVersions().insert(token.toMSecsSinceEpoch(), nullptr);
}

void Image::finishPendingWrite(const QDateTime& token, bool written) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  gfx::ImagePtr image = pendingWrites().take(token.toMSecsSinceEpoch()).image;
  if (!written) memoryOnlyVersions().insert(token.toMSecsSinceEpoch(), image);
}

std::shared_ptr<ClaimableTask<QByteArray>> Image::startPendingWrite(const QDateTime& token) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  auto pending = pendingWrites().find(token.toMSecsSinceEpoch());
  if (pending == pendingWrites().end()) return nullptr;
  pending->started = true;
  return pending->bytes;
}

void Image::forgetUnwrittenVersion(const QDateTime& token) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  auto pending = pendingWrites().find(token.toMSecsSinceEpoch());
  if (pending != pendingWrites().end() && !pending->started) pendingWrites().erase(pending);
  auto held = findHeld(token.toMSecsSinceEpoch());
  if (held != heldVersions().end() && !held->spilling) {
    gHeldBytes -= held->size;
    heldVersions().erase(held);
  }
}

std::shared_ptr<ClaimableTask<QByteArray>> Image::pendingBytesFor(const QDateTime& token) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  const qint64 key = token.toMSecsSinceEpoch();
  auto held = findHeld(key);
  if (held != heldVersions().end()) return held->bytes;
  return pendingWrites().value(key).bytes;
}

bool Image::memoryVersionFor(const QDateTime& token, gfx::ImagePtr* image) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  const qint64 key = token.toMSecsSinceEpoch();
  auto writing = pendingWrites().constFind(key);
  if (writing != pendingWrites().constEnd()) {
    if (image) *image = writing.value().image;
    return true;
  }
  auto held = findHeld(key);
  if (held != heldVersions().end()) {
    if (image) *image = held->image;
    return true;
  }
  auto unwritten = memoryOnlyVersions().constFind(key);
  if (unwritten == memoryOnlyVersions().constEnd()) return false;
  if (image) *image = unwritten.value();
  return true;
}

Layer* Image::layer() const { return dynamic_cast<Layer*>(relatedObject("layer")); }

gfx::ImagePtr Image::localImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return localImage_;
}

// The Core Image copy is made again for new pixels whatever the dates say:
// two versions stamped within one millisecond (an undo and a redo in quick
// succession) would otherwise leave the copy of the older one in place.
void Image::setLocalImage(gfx::ImagePtr image) {
  // Pixels read from the store get no half-size copy ahead of need: it
  // would add a quarter to every opened layer whether or not it is ever
  // drawn reduced. The first reduced draw makes it. Nor do pixels set while
  // an undo step is being built, as every edit's are: a drag replaces them
  // at its next event, often before any draw, and a draw reduces only the
  // part it shows.
  if (!adoptsStoredPixels_ && openUndoStep() == 0) prepareReducedDrawing(image);
  std::lock_guard<std::mutex> lock(mutex_);
  localImage_ = std::move(image);
  CIIMageDate_ = QDateTime();
}

bool Image::isCurrentVersionInMemory() const {
  return isSameToken(localImageDate(), versionToken());
}

QDateTime Image::localImageDate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return localImageDate_;
}

void Image::setLocalImageDate(const QDateTime& date) {
  std::lock_guard<std::mutex> lock(mutex_);
  localImageDate_ = date;
}

QDateTime Image::CIIMageDate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return CIIMageDate_;
}

void Image::setCIIMageDate(const QDateTime& date) {
  std::lock_guard<std::mutex> lock(mutex_);
  CIIMageDate_ = date;
}

fnd::OperationQueue* Image::loadingAndSavingOperationQueue() const {
  // The preview generator has no queue of a document: whatever would be
  // queued runs at once, on the caller's thread.
  if (ModelVariant::isPreviewGenerator()) return fnd::OperationQueue::immediateQueue();
  return IMAManagedObjectContext::operationQueueOfContext(
      managedObjectContext(), &IMAManagedObjectContext::loadingAndSavingOperationQueue,
      "loadingAndSavingOperationQueue - managedObjectContext does not contain the queue !");
}

void Image::installVersionToken(const QDateTime& token) {
  setLocalImageDate(token);
  setPrimitiveValue(token, "nsImage");
}

// ---- Versions ----

void Image::setNsImage(gfx::ImagePtr image) { setNsImage(std::move(image), nullptr); }

void Image::setNsImage(gfx::ImagePtr image, std::function<void(bool)> completionHandler) {
  if (image == localImage() && hasInMemoryVersion_) return;
  // Stored pixels not yet loaded become a version first, with a cache file,
  // so undoing this change brings them back rather than an empty layer.
  if (!hasInMemoryVersion_ && !localImage()) nsImage();
  spillStoredVersion();
  const QDateTime previous = versionToken();
  QDateTime token = newVersionToken();
  willChangeValueForKey("nsImage");
  setLocalImage(image);
  hasInMemoryVersion_ = true;
  matchesStoredBlob_ = false;
  ++installCount_;
  setValue(token, "modificationDate");
  installVersionToken(token);
  didChangeValueForKey("nsImage");
  forgetVersionSupersededWithinItsStep(previous);
  // A waiting write still wanted (made in an earlier step, or kept by a save).
  startDeferredWrite();
  if (delegate_) delegate_->imageDidUpdateNSImage(this);
  // An empty version has no file; a reload must not mistake it for a lost one.
  if (!image) rememberEmptyVersion(token);
  // A version made while an undo step is being built is written once the
  // step is closed: a drag replaces it at its next event, and undo never
  // comes back to it, so encoding it now would be work thrown away.
  const quint64 step =
      image && !completionHandler && !ModelVariant::isPreviewGenerator() ? openUndoStep() : 0;
  if (step != 0)
    deferVersionWrite(token, image, step);
  else
    saveLocalImageToDiskWithImageDate(token, image, std::move(completionHandler));
}

void Image::deferVersionWrite(const QDateTime& date, gfx::ImagePtr image, quint64 step) {
  // Pending from now on: a reload or a save is served from memory, and a
  // save produces the bytes the write then shares.
  rememberPendingWrite(date, image, std::make_shared<ClaimableTask<QByteArray>>([image] {
                         return ima_produceImageData(image);
                       }));
  deferredWrite_ = StepVersion{date, step};
  std::weak_ptr<bool> alive = alive_;
  // A step may also end unannounced (its actions all removed, as opening a
  // picture does): the next pass of the loop looks again.
  fnd::dispatchToQueue(fnd::OperationQueue::mainQueue(), [this, alive, step] {
    if (!alive.expired() && deferredWrite_ && deferredWrite_->step == step &&
        openUndoStep() != step)
      startDeferredWrite();
  });
  if (stepEndObserver_ != 0) return;
  stepEndObserver_ = fnd::NotificationCenter::defaultCenter().addObserverForName(
      fnd::UndoManagerDidCloseUndoGroupNotification, nullptr, nullptr,
      [this, alive](const fnd::Notification&) {
        if (alive.expired() || (deferredWrite_ && openUndoStep() == deferredWrite_->step)) return;
        startDeferredWrite();
        fnd::NotificationCenter::defaultCenter().removeObserver(std::exchange(stepEndObserver_, 0));
      });
}

void Image::startDeferredWrite() {
  const std::optional<StepVersion> deferred = std::exchange(deferredWrite_, std::nullopt);
  if (deferred && pendingBytesFor(deferred->token)) queueVersionWrite(deferred->token, nullptr);
}

quint64 Image::openUndoStep() const {
  cd::ManagedObjectContext* context = managedObjectContext();
  fnd::UndoManager* undo = context ? context->undoManager() : nullptr;
  return undo ? undo->openStepSerial() : 0;
}

// A drag installs a version per event, all in one undo step: undo and redo
// of that step go to the versions around it, never to one in between, so a
// version replaced within the step it was made in needs no file. Its write,
// when not begun yet, is dropped with the pixels it kept alive. A version
// the store holds, or one made in an earlier step, keeps its file.
void Image::forgetVersionSupersededWithinItsStep(const QDateTime& previous) {
  const std::optional<StepVersion> made = std::exchange(stepVersion_, std::nullopt);
  const quint64 step = openUndoStep();
  if (step != 0) stepVersion_ = StepVersion{versionToken(), step};
  if (made && step != 0 && made->step == step && isSameToken(made->token, previous))
    forgetUnwrittenVersion(previous);
}

gfx::ImagePtr Image::nsImage() {
  gfx::ImagePtr result;
  nsImageWithCompletionBlock([&result](gfx::ImagePtr image) { result = std::move(image); }, false);
  return result;
}

void Image::nsImageWithCompletionBlock(std::function<void(gfx::ImagePtr)> block,
                                       bool asynchronous) {
  // The preview generator decodes on the caller's thread, always.
  if (ModelVariant::isPreviewGenerator()) asynchronous = false;
  gfx::ImagePtr current = localImage();
  // Once a version exists in this run, an empty image is empty: the stored
  // pixels of the document are an older state, not a fallback.
  // The stored bytes are not kept once decoded: the pixels stand for them.
  // A request that will not wait for a decode under way reads nothing.
  // A caller that waits joins a decode under way, which holds the bytes
  // already: reading them again would keep a second copy alive meanwhile.
  const bool joins = !current && !hasInMemoryVersion_ && !asynchronous && storedDecode_ &&
                     storedDecode_->installCount == installCount_;
  QByteArray data;
  if (!current && !hasInMemoryVersion_ && !(asynchronous && isLoadingNSImage_) && !joins)
    data = storedImageData();
  if (!joins && (current || data.isEmpty() || (asynchronous && isLoadingNSImage_))) {
    willAccessValueForKey("nsImage");
    didAccessValueForKey("nsImage");
    if (block) block(current);
    return;
  }
  fnd::OperationQueue* loadingQueue = loadingAndSavingOperationQueue();
  fnd::OperationQueue* requestingQueue = fnd::OperationQueue::currentQueue();
  if (asynchronous && loadingQueue && requestingQueue != loadingQueue) {
    isLoadingNSImage_ = true;
    handleNSData(data, std::move(block), requestingQueue, true);
    return;
  }
  handleNSData(data, std::move(block), nullptr, false);
}

void Image::loadNSImageInBackground() {
  if (ModelVariant::isPreviewGenerator()) return;  // it has no background
  if (localImage() || hasInMemoryVersion_ || isLoadingNSImage_) return;
  fnd::OperationQueue* queue = loadingAndSavingOperationQueue();
  // Without a queue of its own the decode would run here, at once.
  if (!queue || queue == fnd::OperationQueue::currentQueue()) return;
  nsImageWithCompletionBlock(nullptr, true);
}

// Images whose stored pixels wait for their turn to decode, in order.
// Each decode spreads over the cores by itself, and the stored bytes of a
// layer waiting for its decode are nearly as large as its pixels: reading
// them all at once held the document twice in memory.
struct Image::StoredPixelsChain {
  struct Waiting {
    Image* image;
    std::weak_ptr<bool> alive;
    bool wanted = false;  // a view asked for it
  };
  std::deque<Waiting> waiting;
  Waiting last{};  // the last one taken from `waiting`
};

namespace {

// Decodes running at once: one decoding while the next one's bytes are read.
constexpr int kDecodesAtOnce = 2;

}  // namespace

void Image::loadImagesInBackground(const QList<Image*>& images) {
  if (ModelVariant::isPreviewGenerator()) return;  // it has no background
  auto chain = std::make_shared<StoredPixelsChain>();
  for (Image* image : images) {
    if (!image) continue;
    chain->waiting.push_back({image, image->alive_});
    image->waitsForStoredDecode_ = true;
    image->chain_ = chain;
  }
  for (int i = 0; i < kDecodesAtOnce; ++i) startNextStoredDecode(chain);
}

// Starts the decode of the next image of `chain` that still needs one; its
// end (on this queue) starts the one after. Reading the stored bytes here,
// one image's at a time, keeps the connection on the queue owning it.
void Image::startNextStoredDecode(const std::shared_ptr<StoredPixelsChain>& chain) {
  while (!chain->waiting.empty()) {
    const StoredPixelsChain::Waiting next = chain->waiting.front();
    chain->waiting.pop_front();
    chain->last = next;
    Image* image = next.image;
    if (next.alive.expired()) continue;
    image->waitsForStoredDecode_ = false;
    if (image->localImage() || image->hasInMemoryVersion_ || image->isLoadingNSImage_) continue;
    fnd::OperationQueue* queue = image->loadingAndSavingOperationQueue();
    if (!queue || queue == fnd::OperationQueue::currentQueue()) continue;
    // Whether the call is still under way, or ended before returning.
    enum class Call { Running, Returned, EndedAtOnce };
    auto call = std::make_shared<Call>(Call::Running);
    image->nsImageWithCompletionBlock(
        [chain, call](gfx::ImagePtr) {
          if (*call == Call::Running)
            *call = Call::EndedAtOnce;
          else
            startNextStoredDecode(chain);
        },
        true);
    // Nothing to wait for (no stored bytes, or decoded at once): the next.
    if (*call == Call::EndedAtOnce || !image->isLoadingNSImage_) continue;
    *call = Call::Returned;
    return;
  }
  // Every image has had its turn: the store need not keep the memory it
  // read their bytes into for the next.
  const StoredPixelsChain::Waiting last = std::exchange(chain->last, {});
  if (last.image && !last.alive.expired())
    if (cd::ManagedObjectContext* context = last.image->managedObjectContext())
      if (cd::PersistentStoreCoordinator* coordinator = context->persistentStoreCoordinator())
        coordinator->releaseReadBuffers();
}

void Image::decodeBeforeOthers() {
  std::shared_ptr<StoredPixelsChain> chain = chain_.lock();
  if (!chain || !waitsForStoredDecode_) return;
  auto& waiting = chain->waiting;
  auto mine = std::find_if(waiting.begin(), waiting.end(),
                           [this](const StoredPixelsChain::Waiting& w) { return w.image == this; });
  if (mine == waiting.end() || mine->wanted) return;
  StoredPixelsChain::Waiting moved = *mine;
  moved.wanted = true;
  waiting.erase(mine);
  auto firstUnwanted = std::find_if(waiting.begin(), waiting.end(),
                                    [](const StoredPixelsChain::Waiting& w) { return !w.wanted; });
  waiting.insert(firstUnwanted, moved);
}

namespace {

// Decodes of stored pixels parked while decodes are held, in order.
struct HeldDecode {
  std::weak_ptr<bool> alive;
  Image* image;
  std::function<void()> decode;
};
bool gDecodesHeld = false;
std::vector<HeldDecode>& heldDecodes() {
  static std::vector<HeldDecode> held;
  return held;
}

}  // namespace

void Image::holdStoredDecodes(bool hold) {
  gDecodesHeld = hold;
  if (hold) return;
  for (HeldDecode& held : std::exchange(heldDecodes(), {})) {
    if (held.alive.expired()) continue;
    if (fnd::OperationQueue* queue = held.image->loadingAndSavingOperationQueue())
      queue->addOperationWithBlock(std::move(held.decode));
    else
      held.decode();
  }
}

void Image::queueStoredDecode(fnd::OperationQueue* queue, std::function<void()> decode) {
  if (gDecodesHeld)
    heldDecodes().push_back({alive_, this, std::move(decode)});
  else
    queue->addOperationWithBlock(std::move(decode));
}

QSizeF Image::sizeOfPixelsBeingLoaded() {
  // A draw asking about pixels still waiting for their turn starts their
  // decode now, whose header tells the size soon.
  if (std::exchange(waitsForStoredDecode_, false)) loadNSImageInBackground();
  std::shared_ptr<StoredDecode> running = storedDecode_;
  if (!running || running->installCount != installCount_) return {};
  return running->size.result();
}

void Image::handleNSData(const QByteArray& data, std::function<void(gfx::ImagePtr)> block,
                         fnd::OperationQueue* completionQueue, bool asynchronous) {
  if (!asynchronous) {
    // A background decode of the same bytes is joined rather than repeated.
    std::shared_ptr<StoredDecode> running = std::exchange(storedDecode_, nullptr);
    if (running && running->installCount != installCount_) running = nullptr;
    if (running) isLoadingNSImage_ = false;
    gfx::ImagePtr decoded = running ? running->task.result() : ima_imageWithImageData(data);
    if (decoded) {
      adoptsStoredPixels_ = running || !data.isEmpty();
      handleNSImage(decoded, std::move(block));
    } else if (block)
      block(nullptr);
    return;
  }
  // Everything the result is checked against is taken here, on the owning
  // queue, and checked there again: the worker only decodes and never
  // touches this object, which may be gone by the time it finishes.
  std::weak_ptr<bool> alive = alive_;
  quint64 installsAtStart = installCount_;
  auto decode = std::make_shared<StoredDecode>(installsAtStart, data);
  // Only the decode holds the stored bytes, and lets them go as it ends: a
  // result waiting for a busy owning queue does not keep them too.
  const bool fromStore = !data.isEmpty();
  auto finish = [this, alive, installsAtStart, fromStore, block, decode](gfx::ImagePtr decoded) {
    if (alive.expired()) return;
    if (storedDecode_ == decode) storedDecode_ = nullptr;
    isLoadingNSImage_ = false;
    // A version installed while decoding is newer than the stored pixels.
    if (installCount_ != installsAtStart || hasInMemoryVersion_) {
      if (block) block(localImage());
      return;
    }
    if (decoded) {
      adoptsStoredPixels_ = fromStore;
      handleNSImage(decoded, block);
    } else if (block) {
      block(nullptr);
    }
  };
  fnd::OperationQueue* loadingQueue = loadingAndSavingOperationQueue();
  if (!loadingQueue || loadingQueue == fnd::OperationQueue::currentQueue()) {
    finish(decode->task.result());
    return;
  }
  storedDecode_ = decode;
  queueStoredDecode(loadingQueue, [decode, finish = std::move(finish), completionQueue]() mutable {
    gfx::ImagePtr decoded = decode->task.result();
    fnd::dispatchToQueue(completionQueue,
                         [finish = std::move(finish), decoded] { finish(decoded); });
  });
}

void Image::handleNSImage(gfx::ImagePtr image, std::function<void(gfx::ImagePtr)> block) {
  setLocalImage(image);  // before the flag is taken: it tells stored pixels apart
  const bool stored = std::exchange(adoptsStoredPixels_, false);
  if (image) {
    QDateTime token = newVersionToken();
    setPrimitiveValue(token, "modificationDate");
    installVersionToken(token);
    hasInMemoryVersion_ = true;
    matchesStoredBlob_ = stored;
    // The stored bytes are already the version's file content: they stay
    // in the store and are written out only once another version replaces
    // this one. The preview generator keeps its versions in memory: it
    // writes no file.
    if (stored)
      storedVersionToken_ = token;
    else if (!ModelVariant::isPreviewGenerator())
      writeVersionFile(token, image, QByteArray(), nullptr);
  }
  const bool outer = std::exchange(adoptingStoredPixels_, stored && image);
  refreshCIImageWithImage();
  if (block) block(image);
  if (delegate_) delegate_->imageDidLoadNSImage(this);
  adoptingStoredPixels_ = outer;
}

void Image::spillStoredVersion() {
  const QDateTime token = std::exchange(storedVersionToken_, QDateTime());
  // Only the version in memory can still be served while its file is
  // written. Kept in memory, it costs nothing now: its bytes are made only
  // if it spills. Otherwise, while it matches the store, the stored bytes
  // are its file.
  if (!token.isValid() || !isSameToken(token, localImageDate())) return;
  gfx::ImagePtr image = localImage();
  if (fitsVersionsInMemoryBudget(image))
    writeVersionFile(token, image, QByteArray(), nullptr, false);
  else
    writeVersionFile(token, image, matchesStoredBlob_ ? storedImageData() : QByteArray(), nullptr);
}

QByteArray Image::storedImageData() const {
  return primitiveValueForKeyWithoutKeeping("imageData").toByteArray();
}

void Image::saveLocalImageToDiskWithImageDate(const QDateTime& date, gfx::ImagePtr image,
                                              std::function<void(bool)> completionHandler) {
  writeVersionFile(date, std::move(image), QByteArray(), std::move(completionHandler));
}

void Image::writeVersionFile(const QDateTime& date, gfx::ImagePtr image, QByteArray blob,
                             std::function<void(bool)> completionHandler, bool encodeWhenHeld) {
  if (!image) {
    if (completionHandler) completionHandler(false);
    return;
  }
  if (!loadingAndSavingOperationQueue()) {
    qWarning("self.loadingAndSavingOperationQueue == nil");
    return;
  }
  auto encode = blob.isEmpty() ? std::make_shared<ClaimableTask<QByteArray>>(
                                     [image] { return ima_produceImageData(image); })
                               : ClaimableTask<QByteArray>::done(blob);
  rememberPendingWrite(date, image, encode, encodeWhenHeld);
  queueVersionWrite(date, std::move(completionHandler));
}

void Image::queueVersionWrite(const QDateTime& date, std::function<void(bool)> completionHandler) {
  fnd::OperationQueue* requestingQueue = fnd::OperationQueue::currentQueue();
  fnd::OperationQueue* queue = loadingAndSavingOperationQueue();
  if (!queue) {
    qWarning("self.loadingAndSavingOperationQueue == nil");
    return;
  }
  // The operation holds the token only: a version dropped before its write
  // begins frees its pixels at once, not when the queue reaches it.
  queue->addOperationWithBlock([date, completionHandler, requestingQueue] {
    if (holdVersion(date)) {
      if (completionHandler)
        fnd::dispatchToQueue(requestingQueue, [completionHandler] { completionHandler(true); });
      return;
    }
    std::shared_ptr<ClaimableTask<QByteArray>> encode = startPendingWrite(date);
    bool ok = !encode;
    if (encode) {
      QByteArray bytes = encode->result();
      ok = !bytes.isEmpty() && writeCacheFile(pathOfCachedImageWithDate(date), bytes);
      // A failed version stays served from memory: its pixels exist nowhere else.
      finishPendingWrite(date, ok);
    }
    if (completionHandler)
      fnd::dispatchToQueue(requestingQueue, [completionHandler, ok] { completionHandler(ok); });
  });
}

std::shared_ptr<ClaimableTask<QByteArray>> Image::blobTaskForCurrentVersion(
    gfx::ImagePtr image) const {
  auto encode = [image] { return ima_produceImageData(image); };
  const QDateTime token = localImageDate();
  // Pixels installed ahead of their version (a reload still running) have
  // no file of their own.
  if (!token.isValid() || !isSameToken(token, versionToken()))
    return std::make_shared<ClaimableTask<QByteArray>>(encode);
  if (auto pending = pendingBytesFor(token)) return pending;
  if (memoryVersionFor(token, nullptr)) return std::make_shared<ClaimableTask<QByteArray>>(encode);
  const QString path = pathOfCachedImageWithDate(token);
  return std::make_shared<ClaimableTask<QByteArray>>([path, encode] {
    QFile file(path);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return bytes.isEmpty() ? encode() : bytes;
  });
}

bool Image::needsNewStoredBlob() const {
  // An image never loaded in this run still holds exactly its stored bytes.
  return !isFault() && (hasInMemoryVersion_ || localImage()) && !matchesStoredBlob_;
}

void Image::prepareImagesForSave(const QList<cd::ManagedObject*>& objects) {
  std::vector<Image*> images;
  std::vector<std::shared_ptr<ClaimableTask<QByteArray>>> tasks;
  for (cd::ManagedObject* object : objects) {
    auto* image = dynamic_cast<Image*>(object);
    if (!image || !image->needsNewStoredBlob()) continue;
    image->preparedBlob_.reset();
    gfx::ImagePtr pixels = image->localImage();
    if (!pixels) continue;
    images.push_back(image);
    tasks.push_back(image->blobTaskForCurrentVersion(pixels));
  }
  std::vector<QByteArray> blobs(tasks.size());
  ci::WorkerPool::parallelFor(int(tasks.size()), [&](int i) { blobs[i] = tasks[i]->result(); });
  for (size_t i = 0; i < images.size(); ++i)
    images[i]->preparedBlob_ = PreparedBlob{images[i]->localImageDate(), std::move(blobs[i])};
}

QByteArray Image::storedBlobForSave(gfx::ImagePtr image) {
  std::optional<PreparedBlob> prepared = std::exchange(preparedBlob_, std::nullopt);
  if (prepared && isSameToken(prepared->token, localImageDate()) && !prepared->bytes.isEmpty())
    return prepared->bytes;
  return blobTaskForCurrentVersion(std::move(image))->result();
}

void Image::loadLocalImageWithDiskCacheCompletionHandler(
    std::function<void(bool)> completionHandler) {
  QDateTime token = versionToken();
  fnd::OperationQueue* requestingQueue = fnd::OperationQueue::currentQueue();
  fnd::OperationQueue* queue = loadingAndSavingOperationQueue();
  if (!queue) {
    qWarning("self.loadingAndSavingOperationQueue == nil");
    return;
  }
  gfx::ImagePtr inMemory;
  const bool servedFromMemory = token.isValid() && memoryVersionFor(token, &inMemory);
  std::weak_ptr<bool> alive = alive_;
  auto adopt = [this, alive, token, completionHandler](gfx::ImagePtr image, bool known) {
    if (alive.expired()) return;
    // Another version replaced this one while it was being read.
    if (!isSameToken(versionToken(), token)) return;
    // A version whose file is gone keeps what is in memory: installing
    // nothing would drop those pixels from the next save.
    if (!image && !known && token.isValid()) {
      setLocalImageDate(token);
      if (completionHandler) completionHandler(false);
      return;
    }
    setLocalImage(image);
    hasInMemoryVersion_ = true;
    matchesStoredBlob_ = false;
    setPrimitiveValue(QDateTime::currentDateTimeUtc(), "modificationDate");
    setLocalImageDate(token);
    if (completionHandler) completionHandler(true);
    if (delegate_) delegate_->imageDidUpdateNSImage(this);
  };
  queue->addOperationWithBlock([token, inMemory, servedFromMemory, adopt, requestingQueue] {
    gfx::ImagePtr image = inMemory;
    if (!servedFromMemory && token.isValid())
      image = readVersionFile(pathOfCachedImageWithDate(token));
    fnd::dispatchToQueue(requestingQueue,
                         [adopt, image, servedFromMemory] { adopt(image, servedFromMemory); });
  });
}

// ---- Core Image copy ----

void Image::checkCIIMageVSImage() {
  QDateTime ciDate = CIIMageDate();
  QDateTime modified = primitiveValueForKey("modificationDate").toDateTime();
  if (!ciDate.isValid() || !modified.isValid() || ciDate != modified) refreshCIImageWithImage();
}

void Image::refreshCIImageWithImage() {
  if (!usesCIImage_) return;
  QDateTime modified = primitiveValueForKey("modificationDate").toDateTime();
  QDateTime ciDate = CIIMageDate();
  if (ciDate.isValid() && modified.isValid() && ciDate == modified) return;
  setCIIMageDate(modified);
  gfx::ImagePtr image = nsImage();
  ciImage_ = image ? ima_ciImage(image) : ci::Image();
  if (delegate_) delegate_->imageDidUpdateCIImage(this);
}

// ---- PDF pages ----

std::shared_ptr<gfx::PDFImageRep> Image::pdfImageRep() const {
  return ima_imageRepOfClass<gfx::PDFImageRep>(localImage());
}

bool Image::isPDF() const { return pdfImageRep() != nullptr; }

bool Image::isMultiPagesPDF() const {
  auto rep = pdfImageRep();
  return rep && rep->pageCount() > 1;
}

int Image::maxPdfPageNumber() const {
  auto rep = pdfImageRep();
  return rep ? rep->pageCount() : 0;
}

int Image::pdfPageNumber() const {
  auto rep = pdfImageRep();
  return rep ? rep->currentPage() + 1 : 0;
}

void Image::setPdfPageNumber(int page) {
  auto rep = pdfImageRep();
  if (!rep) return;
  spillStoredVersion();
  rep->setCurrentPage(page - 1);
  QDateTime token = newVersionToken();
  willChangeValueForKey("nsImage");
  matchesStoredBlob_ = false;
  if (gfx::ImagePtr image = localImage()) image->recache();
  ++installCount_;
  setValue(token, "modificationDate");
  installVersionToken(token);
  didChangeValueForKey("nsImage");
  if (delegate_) delegate_->imageDidUpdateNSImage(this);
  saveLocalImageToDiskWithImageDate(token, localImage(), nullptr);
}

// ---- Entity hooks ----

QVariant Image::archivedValueForKey(const QString& key) const {
  if (key == "nsImage") return {};
  if (key == "imageData") {
    gfx::ImagePtr image = const_cast<Image*>(this)->nsImage();
    return image ? QVariant(ima_produceImageData(image)) : QVariant();
  }
  return IMManagedObject::archivedValueForKey(key);
}

void Image::willSave() {
  disableNotifications();
  if (needsNewStoredBlob()) {
    gfx::ImagePtr image = nsImage();
    QByteArray blob = image ? storedBlobForSave(image) : QByteArray();
    setPrimitiveValue(image ? QVariant(blob) : QVariant(), "imageData");
    matchesStoredBlob_ = image != nullptr;
  }
  // The saved version may be asked for again (a revert): it keeps its file.
  stepVersion_.reset();
  enableNotifications();
  IMManagedObject::willSave();
}

// A layer's thumbnail depends on its image's pixels (imagePreview follows
// image.nsImage), so observers of the owning layer's "imagePreview" hear of
// every pixel change. Only the observation is sent: the layer itself has
// not changed, so none of its own change handling runs.
void Image::willChangeValueForKey(const QString& key) {
  IMManagedObject::willChangeValueForKey(key);
  if (key == "nsImage")
    if (Layer* owner = layer()) owner->fnd::Observable::willChangeValueForKey("imagePreview");
}

void Image::didChangeValueForKey(const QString& key) {
  if (key == "nsImage")
    if (Layer* owner = layer()) owner->fnd::Observable::didChangeValueForKey("imagePreview");
  if (!areNotificationsDisabled() && key == "nsImage") {
    if (isCurrentVersionInMemory()) {
      checkCIIMageVSImage();
    } else {
      std::weak_ptr<bool> alive = alive_;
      loadLocalImageWithDiskCacheCompletionHandler([this, alive](bool) {
        if (!alive.expired()) checkCIIMageVSImage();
      });
    }
  }
  IMManagedObject::didChangeValueForKey(key);
}

void Image::awakeFromSnapshotEvents(int flags) { IMManagedObject::awakeFromSnapshotEvents(flags); }
