#include "model/ImagesCacheFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>

namespace {

// Deeper trees were not made by us; they are left rather than recursed into.
constexpr int kMaxDepth = 32;

// Removes the entry `name` of the folder open as `parent`. A folder is
// opened with O_NOFOLLOW relative to its parent, so a link (even one swapped
// in for a folder while we work) is unlinked itself and never entered.
bool removeEntry(int parent, const char* name, int depth) {
  const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
  DIR* entries = fdopendir(folder);
  if (!entries) {
    close(folder);
    return false;
  }
  bool emptied = depth < kMaxDepth;
  while (depth < kMaxDepth) {
    const dirent* entry = readdir(entries);
    if (!entry) break;
    const QByteArray child(entry->d_name);
    if (child == "." || child == "..") continue;
    emptied = removeEntry(dirfd(entries), child.constData(), depth + 1) && emptied;
  }
  closedir(entries);
  if (!emptied) return false;
  return unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

QString cacheFolderBase() {
  const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
    return runtime;
  return QDir::tempPath();
}

}  // namespace

ImagesCacheFolder::~ImagesCacheFolder() { remove(); }

ImagesCacheFolder& ImagesCacheFolder::shared() {
  // Destroyed with the other statics when the process ends normally
  // (return from main or exit()), which removes the folder.
  static ImagesCacheFolder folder;
  return folder;
}

QString ImagesCacheFolder::path() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!path_.isEmpty() && QFileInfo(path_).isDir()) return path_;
  const QString base = cacheFolderBase();
  QByteArray pattern = QFile::encodeName(base + "/tessaly-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    qWarning("Image: could not create the image cache folder under %s", qPrintable(base));
    return {};
  }
  path_ = QFile::decodeName(pattern);
  return path_;
}

void ImagesCacheFolder::remove() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path_.isEmpty()) return;
  if (!removeTreeWithoutFollowingLinks(path_))
    qWarning("Image: could not remove the image cache folder %s", qPrintable(path_));
  path_.clear();
}

bool ImagesCacheFolder::removeTreeWithoutFollowingLinks(const QString& path) {
  if (path.isEmpty()) return false;
  return removeEntry(AT_FDCWD, QFile::encodeName(path).constData(), 0);
}
