#pragma once

#include <QString>
#include <mutex>

// The folder where this process keeps the versions of its images: made on
// first use (mkdtemp, mode 0700, so no other process can read or replace
// our versions) and removed with everything in it when its owner goes,
// which for the process-wide instance is the normal end of the process.
// A process that is killed cannot remove it; so its name carries the
// process id ("tessaly-<pid>-XXXXXX") and the process holds a lock on the
// file ".owner" inside it for as long as it lives, and a later start
// removes the folders whose process is gone.
class ImagesCacheFolder {
 public:
  ImagesCacheFolder() = default;
  ~ImagesCacheFolder();
  ImagesCacheFolder(const ImagesCacheFolder&) = delete;
  ImagesCacheFolder& operator=(const ImagesCacheFolder&) = delete;

  // The instance the model uses; it lives until the process ends.
  static ImagesCacheFolder& shared();

  // The folder, made when needed (again after remove()); empty when it
  // cannot be made.
  QString path();
  // Removes the folder and its contents now. Links inside it are removed
  // as links: nothing outside the folder is ever touched.
  void remove();

  // Removes `path` and, if it is a real folder, everything under it,
  // without following any link. Returns whether nothing is left.
  static bool removeTreeWithoutFollowingLinks(const QString& path);

  // Removes the cache folders in `base` (by default where path() makes
  // them) whose process is gone: only real folders (never through a link),
  // only the user's own, never one whose owner still holds its lock (or,
  // lacking the lock file, whose process id is alive). Returns how many
  // were removed.
  static int removeStaleFolders(const QString& base = QString());

 private:
  std::mutex mutex_;
  QString path_;
  int lock_ = -1;
};
