#include "model/ImagesCacheFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstdlib>
#include <thread>

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

const char kOwnerLock[] = ".owner";

// Whether the process that made the folder `name` (of the folder open as
// `base`) still runs. Its lock answers even across process-id namespaces;
// a folder without one yet may be in the making, so then the id decides.
bool ownerIsAlive(int base, const char* name, pid_t pid) {
  const int folder = openat(base, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return true;
  const int lock = openat(folder, kOwnerLock, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  close(folder);
  if (lock >= 0) {
    const bool held = flock(lock, LOCK_SH | LOCK_NB) != 0;
    close(lock);
    return held;
  }
  return pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH;
}

// The process id in a folder name "tessaly-<pid>-XXXXXX", or 0.
pid_t ownerOfName(const QByteArray& name) {
  static const QRegularExpression pattern(QStringLiteral("^tessaly-(\\d+)-[A-Za-z0-9]{6}$"));
  const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(name));
  return match.hasMatch() ? pid_t(match.captured(1).toLongLong()) : 0;
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
  QByteArray pattern = QFile::encodeName(base + QStringLiteral("/tessaly-%1-XXXXXX").arg(getpid()));
  if (!mkdtemp(pattern.data())) {
    qWarning("Image: could not create the image cache folder under %s", qPrintable(base));
    return {};
  }
  path_ = QFile::decodeName(pattern);
  if (lock_ >= 0) close(lock_);
  lock_ = open((pattern + "/" + kOwnerLock).constData(),
               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock_ >= 0 && flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    close(lock_);
    lock_ = -1;
  }
  return path_;
}

void ImagesCacheFolder::remove() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path_.isEmpty()) return;
  // A version still being written may add a file between emptying a folder
  // and removing it; once the folder is gone, such a write fails instead.
  constexpr int kAttempts = 1000;
  bool removed = false;
  for (int attempt = 0; attempt < kAttempts && !removed; ++attempt) {
    if (attempt > 0) std::this_thread::yield();
    removed = removeTreeWithoutFollowingLinks(path_);
  }
  if (!removed) {
    // Kept, so the end of the process tries again.
    qWarning("Image: could not remove the image cache folder %s", qPrintable(path_));
    return;
  }
  path_.clear();
  if (lock_ >= 0) close(lock_);
  lock_ = -1;
}

int ImagesCacheFolder::removeStaleFolders(const QString& base) {
  const QByteArray folder = QFile::encodeName(base.isEmpty() ? cacheFolderBase() : base);
  const int parent = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return 0;
  DIR* entries = fdopendir(parent);
  if (!entries) {
    close(parent);
    return 0;
  }
  QList<QByteArray> stale;
  while (const dirent* entry = readdir(entries)) {
    const QByteArray name(entry->d_name);
    const pid_t owner = ownerOfName(name);
    struct stat info;
    if (owner <= 0 || fstatat(dirfd(entries), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
      continue;
    if (S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
        !ownerIsAlive(dirfd(entries), name.constData(), owner))
      stale.append(name);
  }
  int removed = 0;
  for (const QByteArray& name : stale) removed += removeEntry(dirfd(entries), name.constData(), 0);
  closedir(entries);
  return removed;
}

bool ImagesCacheFolder::removeTreeWithoutFollowingLinks(const QString& path) {
  if (path.isEmpty()) return false;
  return removeEntry(AT_FDCWD, QFile::encodeName(path).constData(), 0);
}
