#pragma once

#include <QDateTime>
#include <QSet>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "coreimage/Image.h"
#include "graphics/Image.h"
#include "model/ClaimableTask.h"
#include "model/IMManagedObject.h"

class ImageDelegate;
class Layer;

namespace fnd {
class OperationQueue;
}
namespace gfx {
class PDFImageRep;
}

// The pixels of a layer, a mask or an image-valued filter input. Every change
// of the in-memory image is a new version, named by a timestamp token and
// written to one file of the per-run cache folder; the persistent `nsImage`
// holds only the token, so undo and redo restore a token and the image
// reloads that version. The pixels reach the store only while it saves.
class Image : public IMManagedObject {
 public:
  Image();
  ~Image() override;

  // The per-run cache folder: private to this process, created on first use
  // and removed when the process ends normally (see ImagesCacheFolder).
  static QString imagesCacheDirectoryPath();
  static QString pathOfCachedImageWithDate(const QDateTime& date);
  // The 16-digit cache file name of a version token.
  static QString cacheFileNameForDate(const QDateTime& date);
  // A fresh version token, later than every token handed out before in this
  // process, so no two versions share a cache file.
  static QDateTime newVersionToken();
  // Removes the cache folder and everything in it now.
  static void removeImagesCacheDirectory();

  gfx::ImagePtr nsImage();
  void setNsImage(gfx::ImagePtr image);
  void setNsImage(gfx::ImagePtr image, std::function<void(bool)> completionHandler);
  void nsImageWithCompletionBlock(std::function<void(gfx::ImagePtr)> block, bool asynchronous);
  // Decodes `data` at once, or (asynchronous) on the loading queue with the
  // result adopted on `completionQueue`; called on the queue owning the object.
  void handleNSData(const QByteArray& data, std::function<void(gfx::ImagePtr)> block,
                    fnd::OperationQueue* completionQueue, bool asynchronous);
  void handleNSImage(gfx::ImagePtr image, std::function<void(gfx::ImagePtr)> block);
  // Starts decoding the stored pixels on the loading queue, when they are
  // not in memory yet and the context has a queue of its own for it.
  void loadNSImageInBackground();
  // The same for several images, in order, a few at a time (each decode
  // uses every core), so only a few layers' stored bytes are in memory.
  static void loadImagesInBackground(const QList<Image*>& images);
  // Whether the stored pixels are on their way into memory: waiting for
  // their turn to decode, or decoding. A view drawn as the document arrives
  // leaves such an image out; its delegate is told when the pixels are in.
  bool isArriving() const {
    return !hasInMemoryVersion_ && (waitsForStoredDecode_ || isLoadingNSImage_);
  }
  // Moves these pixels, while they wait for their turn, ahead of those no
  // view has asked for (after those asked for before): a view needs them.
  void decodeBeforeOthers();
  // Holds back (true) or lets go the background decodes of stored pixels:
  // while held, each waits before it starts, and a caller that cannot wait
  // for it decodes the pixels itself. For showing what a document looks
  // like before its pixels arrive.
  static void holdStoredDecodes(bool hold);
  // Decodes now the stored pixels of every image among `images` that has
  // none in memory, each for drawing at `scales[i]` device pixels per point
  // at most (reduced, see ima_imageWithImageDataForScale; 1 when absent),
  // and adopts them as nsImage would, on the calling thread. The stored
  // bytes are read here, one image's while those before it decode on the
  // worker pool, and are not kept once decoded; the call returns when all
  // are adopted. For the preview generator, which draws each image once.
  static void decodeStoredPixelsForDrawing(const QList<Image*>& images,
                                           const QList<double>& scales);
  // While the stored pixels decode in the background, their size, read
  // from their header without waiting for the decode; an empty size when
  // nothing is being decoded or the header tells none (a PDF page).
  QSizeF sizeOfPixelsBeingLoaded();
  void saveLocalImageToDiskWithImageDate(const QDateTime& date, gfx::ImagePtr image,
                                         std::function<void(bool)> completionHandler);
  void loadLocalImageWithDiskCacheCompletionHandler(std::function<void(bool)> completionHandler);
  fnd::OperationQueue* loadingAndSavingOperationQueue() const;

  void checkCIIMageVSImage();
  void refreshCIImageWithImage();

  bool isPDF() const;
  bool isMultiPagesPDF() const;
  std::shared_ptr<gfx::PDFImageRep> pdfImageRep() const;
  int maxPdfPageNumber() const;
  int pdfPageNumber() const;
  void setPdfPageNumber(int page);

  // Persistent values.
  QByteArray imageData() const { return valueForKey("imageData").toByteArray(); }
  // The stored pixels' bytes, read from the store without keeping them in
  // this object (they are as large as the pixels they hold).
  QByteArray storedImageData() const;
  QDateTime versionToken() const { return primitiveValueForKey("nsImage").toDateTime(); }
  QDateTime modificationDate() const { return valueForKey("modificationDate").toDateTime(); }
  Layer* layer() const;

  // Transient state.
  gfx::ImagePtr localImage() const;
  void setLocalImage(gfx::ImagePtr image);
  QDateTime localImageDate() const;
  // Whether the pixels in memory are those of the current version (false
  // while an undone or redone version is still being read back).
  bool isCurrentVersionInMemory() const;
  void setLocalImageDate(const QDateTime& date);
  const ci::Image& ciImage() const { return ciImage_; }
  void setCiImage(const ci::Image& image) { ciImage_ = image; }
  QDateTime CIIMageDate() const;
  void setCIIMageDate(const QDateTime& date);
  bool usesCIImage() const { return usesCIImage_; }
  void setUsesCIImage(bool uses) { usesCIImage_ = uses; }
  bool isLoadingNSImage() const { return isLoadingNSImage_; }
  void setIsLoadingNSImage(bool loading) { isLoadingNSImage_ = loading; }
  ImageDelegate* delegate() const { return delegate_; }
  void setDelegate(ImageDelegate* delegate) { delegate_ = delegate; }

  // Whether this run has installed or loaded a version: from then on an
  // empty in-memory image means empty, never "not loaded yet".
  bool hasInMemoryVersion() const { return hasInMemoryVersion_; }
  // Set while pixels just decoded from the store are taken in and their
  // owner is told: changes reported then are the pixels arriving after an
  // open, nothing the user did.
  bool isAdoptingStoredPixels() const { return adoptingStoredPixels_; }

  // Archives carry the current pixels, not the last saved blob nor a
  // version token, which means nothing outside this run's cache.
  QVariant archivedValueForKey(const QString& key) const override;
  void willSave() override;
  void willChangeValueForKey(const QString& key) override;
  void didChangeValueForKey(const QString& key) override;
  void awakeFromSnapshotEvents(int flags) override;

  // Whether a version's cache file is still being written (tests, closing).
  static int pendingCacheWrites();
  // How many bytes of versions (pixels and their encoded bytes) are kept in
  // memory before the oldest spill to cache files; 0 writes every version's
  // file. Returns the budget it replaces.
  static qint64 setVersionsInMemoryBudget(qint64 bytes);
  static qint64 versionsInMemoryBytes();

  // Produces at once, in parallel, the stored bytes of every image among
  // `objects` whose pixels changed since they were last stored, for their
  // willSave to pick up. A version whose cache file is being written shares
  // that encode, and one already written is read back, never encoded again.
  static void prepareImagesForSave(const QList<cd::ManagedObject*>& objects);

 private:
  struct StoredPixelsChain;
  static void startNextStoredDecode(const std::shared_ptr<StoredPixelsChain>& chain);
  // Runs a decode of stored pixels on `queue`, or parks it while decodes are held.
  void queueStoredDecode(fnd::OperationQueue* queue, std::function<void()> decode);
  void installVersionToken(const QDateTime& token);
  // Writes one version file, or keeps the version in memory while the
  // budget allows; an empty `blob` is produced on the queue (when held, at
  // once if `encodeWhenHeld`, else only if it spills).
  void writeVersionFile(const QDateTime& date, gfx::ImagePtr image, QByteArray blob,
                        std::function<void(bool)> completionHandler, bool encodeWhenHeld = true);
  // Moves a pending version into memory when it fits the budget, spilling
  // older ones beyond it; false leaves it to be written.
  static bool holdVersion(const QDateTime& token);
  static bool fitsVersionsInMemoryBudget(const gfx::ImagePtr& image);
  // Lets go of the versions of this image kept in memory: nothing asks for
  // them once it is gone.
  void forgetHeldVersions();
  // Queues the write of a version already remembered as pending.
  void queueVersionWrite(const QDateTime& date, std::function<void(bool)> completionHandler);
  // Remembers the write of the version just installed within the open undo
  // step `step`, to begin once the step is closed (see setNsImage).
  void deferVersionWrite(const QDateTime& date, gfx::ImagePtr image, quint64 step);
  // Begins the deferred write, if any, unless the version was dropped since.
  void startDeferredWrite();
  // How to get the bytes of the current version, `image`: share the encode
  // of its cache write, read its file, or encode it when it has neither.
  std::shared_ptr<ClaimableTask<QByteArray>> blobTaskForCurrentVersion(gfx::ImagePtr image) const;
  // Writes the file of the version decoded from the stored bytes, which has
  // none yet, before another version replaces it (undo may come back to it).
  void spillStoredVersion();
  // Whether the stored bytes are behind the pixels of this run.
  bool needsNewStoredBlob() const;
  // The bytes willSave stores for `image`: those prepared for this save if
  // they are of the current version, else produced now.
  QByteArray storedBlobForSave(gfx::ImagePtr image);
  void rememberPendingWrite(const QDateTime& token, gfx::ImagePtr image,
                            std::shared_ptr<ClaimableTask<QByteArray>> bytes,
                            bool encodeWhenHeld = true);
  static std::shared_ptr<ClaimableTask<QByteArray>> pendingBytesFor(const QDateTime& token);
  // Marks the write of a version begun and hands its bytes' task; none when
  // the write was dropped.
  static std::shared_ptr<ClaimableTask<QByteArray>> startPendingWrite(const QDateTime& token);
  // Drops the write of a version unless it has begun.
  static void forgetUnwrittenVersion(const QDateTime& token);
  // The undo step being built in this image's context (0: none).
  quint64 openUndoStep() const;
  // Called once `previous` has been replaced by the current version.
  void forgetVersionSupersededWithinItsStep(const QDateTime& previous);
  static void rememberEmptyVersion(const QDateTime& token);
  // Ends a write; a failed one leaves its version served from memory.
  static void finishPendingWrite(const QDateTime& token, bool written);
  // Whether the version is served from memory rather than its cache file
  // (being written, failed to write, or empty); `image` receives it.
  static bool memoryVersionFor(const QDateTime& token, gfx::ImagePtr* image);

  mutable std::mutex mutex_;  // guards the atomic properties
  gfx::ImagePtr localImage_;
  QDateTime localImageDate_;
  QDateTime CIIMageDate_;
  ci::Image ciImage_;
  bool usesCIImage_ = false;
  bool isLoadingNSImage_ = false;
  bool hasInMemoryVersion_ = false;
  // Set while the in-memory image is exactly what the stored blob decodes to.
  bool matchesStoredBlob_ = false;
  // Set while handleNSImage adopts pixels decoded from the stored bytes.
  bool adoptsStoredPixels_ = false;
  bool adoptingStoredPixels_ = false;
  struct PreparedBlob {
    QDateTime token;
    QByteArray bytes;
  };
  std::optional<PreparedBlob> preparedBlob_;  // made by prepareImagesForSave
  // The current version, when it was installed by setNsImage while an undo
  // step was being built, and that step.
  struct StepVersion {
    QDateTime token;
    quint64 step = 0;
  };
  std::optional<StepVersion> stepVersion_;
  // The version whose write waits for the end of the undo step it was made
  // in, and the registration that hears of that end.
  std::optional<StepVersion> deferredWrite_;
  quint64 stepEndObserver_ = 0;
  // The version decoded from the stored bytes, which has no cache file
  // until another version replaces it: opening writes none.
  QDateTime storedVersionToken_;
  // Queued by loadImagesInBackground, its decode not started yet.
  bool waitsForStoredDecode_ = false;
  std::weak_ptr<StoredPixelsChain> chain_;  // the one it waits in
  quint64 installCount_ = 0;                // versions installed, for late decodes to detect
  ImageDelegate* delegate_ = nullptr;
  std::shared_ptr<bool> alive_;
  // The decode of the stored bytes running in the background, if any, which
  // a caller that cannot wait for its result joins.
  struct StoredDecode {
    explicit StoredDecode(quint64 installs, const QByteArray& data);
    quint64 installCount;  // versions installed when it began
    // The size of the stored pixels, read from their header before the
    // decode proper, so a draw can tell where they will show sooner.
    ClaimableTask<QSizeF> size;
    ClaimableTask<gfx::ImagePtr> task;
  };
  std::shared_ptr<StoredDecode> storedDecode_;
};
