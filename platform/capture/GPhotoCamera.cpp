#include "capture/GPhotoCamera.h"

#include <gphoto2/gphoto2.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "foundation/Error.h"

namespace capture {
namespace {

constexpr char kFolderModel[] = "Directory Browse";
constexpr char kDiskPrefix[] = "disk:";
// Cameras nest their pictures a few folders deep (DCIM/100CANON); deeper
// trees are the folder driver walking into a whole disk.
constexpr int kMaxFolderDepth = 6;

bool isImageName(const QString& name) {
  static const QStringList suffixes = {"jpg", "jpeg", "png",  "tif", "tiff", "bmp",
                                       "gif", "heic", "webp", "jp2", "tga",  "exr"};
  return suffixes.contains(QFileInfo(name).suffix().toLower());
}

GPContextFeedback cancelFunc(GPContext*, void* data) {
  auto* progress = *static_cast<Progress**>(data);
  return progress && progress->cancelled ? GP_CONTEXT_FEEDBACK_CANCEL : GP_CONTEXT_FEEDBACK_OK;
}

struct ProgressTarget {
  float target = 0;
};
thread_local ProgressTarget currentTarget;

unsigned progressStart(GPContext*, float target, const char*, void*) {
  currentTarget.target = target;
  return 1;
}
void progressUpdate(GPContext*, unsigned, float current, void* data) {
  auto* progress = *static_cast<Progress**>(data);
  if (progress && currentTarget.target > 0) progress->set(current / currentTarget.target);
}
void progressStop(GPContext*, unsigned, void*) {}

}  // namespace

GPhotoCamera::GPhotoCamera(QString model, QString port)
    : model_(std::move(model)), port_(std::move(port)) {}

GPhotoCamera::~GPhotoCamera() {
  QMutexLocker locker(&lock_);
  closeLocked();
}

QList<DevicePtr> GPhotoCamera::cameras(const QStringList& folders, fnd::Error* error) {
  QList<DevicePtr> found;
  GPContext* context = gp_context_new();
  CameraList* list = nullptr;
  gp_list_new(&list);
  const int count = gp_camera_autodetect(list, context);
  if (count < 0 && error)
    *error = makeError(ErrorFailed, QStringLiteral("gphoto2"),
                       QString::fromUtf8(gp_result_as_string(count)));
  for (int i = 0; i < count; ++i) {
    const char* model = nullptr;
    const char* port = nullptr;
    gp_list_get_name(list, i, &model);
    gp_list_get_value(list, i, &port);
    // Mounted memory cards come as folder cameras ("disk:" ports).
    if (model && port)
      found.append(
          std::make_shared<GPhotoCamera>(QString::fromUtf8(model), QString::fromUtf8(port)));
  }
  gp_list_free(list);
  gp_context_unref(context);
  for (const QString& folder : folders) found.append(folderCamera(folder));
  return found;
}

DevicePtr GPhotoCamera::folderCamera(const QString& folder) {
  return std::make_shared<GPhotoCamera>(
      QString::fromLatin1(kFolderModel),
      QString::fromLatin1(kDiskPrefix) + QDir(folder).absolutePath());
}

QString GPhotoCamera::name() const {
  if (model_ == QLatin1String(kFolderModel))
    return QFileInfo(port_.mid(int(strlen(kDiskPrefix)))).fileName();
  return model_;
}

bool GPhotoCamera::isGone() const {
  return port_.startsWith(QLatin1String(kDiskPrefix)) &&
         !QFileInfo(port_.mid(int(strlen(kDiskPrefix)))).isDir();
}

bool GPhotoCamera::check(int result, fnd::Error* error) {
  if (result >= GP_OK) return true;
  const QString detail = QString::fromUtf8(gp_result_as_string(result));
  ErrorCode code = ErrorFailed;
  if (result == GP_ERROR_CAMERA_BUSY || result == GP_ERROR_IO_USB_CLAIM ||
      result == GP_ERROR_IO_LOCK)
    code = ErrorBusy;
  else if (result == GP_ERROR_CANCEL)
    code = ErrorCancelled;
  else if (result == GP_ERROR_IO_USB_FIND || result == GP_ERROR_MODEL_NOT_FOUND || isGone())
    code = ErrorUnplugged;
  // A camera that went away is connected afresh next time (it may be back).
  if (code == ErrorUnplugged) closeLocked();
  if (error) *error = makeError(code, name(), detail);
  return false;
}

bool GPhotoCamera::openLocked(fnd::Error* error) {
  if (camera_) return true;
  if (isGone()) {
    if (error) *error = makeError(ErrorUnplugged, name());
    return false;
  }
  context_ = gp_context_new();
  gp_context_set_cancel_func(context_, cancelFunc, &progress_);
  gp_context_set_progress_funcs(context_, progressStart, progressUpdate, progressStop, &progress_);
  gp_camera_new(&camera_);
  CameraAbilitiesList* abilitiesList = nullptr;
  GPPortInfoList* ports = nullptr;
  gp_abilities_list_new(&abilitiesList);
  gp_abilities_list_load(abilitiesList, context_);
  gp_port_info_list_new(&ports);
  gp_port_info_list_load(ports);
  int result = gp_abilities_list_lookup_model(abilitiesList, model_.toUtf8().constData());
  if (result >= GP_OK) {
    CameraAbilities abilities;
    gp_abilities_list_get_abilities(abilitiesList, result, &abilities);
    result = gp_camera_set_abilities(camera_, abilities);
  }
  if (result >= GP_OK) result = gp_port_info_list_lookup_path(ports, port_.toUtf8().constData());
  if (result >= GP_OK) {
    GPPortInfo info;
    gp_port_info_list_get_info(ports, result, &info);
    result = gp_camera_set_port_info(camera_, info);
  }
  if (result >= GP_OK) result = gp_camera_init(camera_, context_);
  gp_abilities_list_free(abilitiesList);
  gp_port_info_list_free(ports);
  return check(result, error);
}

void GPhotoCamera::closeLocked() {
  if (camera_) {
    gp_camera_exit(camera_, context_);
    gp_camera_unref(camera_);
    camera_ = nullptr;
  }
  if (context_) gp_context_unref(context_);
  context_ = nullptr;
}

bool GPhotoCamera::listFolder(const QString& folder, QList<CameraFile>& files, int depth,
                              fnd::Error* error) {
  CameraList* list = nullptr;
  gp_list_new(&list);
  const QByteArray path = folder.toUtf8();
  bool ok = check(gp_camera_folder_list_files(camera_, path.constData(), list, context_), error);
  for (int i = 0; ok && i < gp_list_count(list); ++i) {
    const char* name = nullptr;
    gp_list_get_name(list, i, &name);
    if (name && isImageName(QString::fromUtf8(name)))
      files.append({folder, QString::fromUtf8(name)});
  }
  QStringList subfolders;
  gp_list_reset(list);
  if (ok && depth < kMaxFolderDepth &&
      check(gp_camera_folder_list_folders(camera_, path.constData(), list, context_), error)) {
    for (int i = 0; i < gp_list_count(list); ++i) {
      const char* name = nullptr;
      gp_list_get_name(list, i, &name);
      if (name) subfolders.append(QString::fromUtf8(name));
    }
  }
  gp_list_free(list);
  for (const QString& sub : subfolders) {
    const QString child = folder.endsWith('/') ? folder + sub : folder + '/' + sub;
    if (!listFolder(child, files, depth + 1, error)) return false;
  }
  return ok;
}

QList<CameraFile> GPhotoCamera::files(fnd::Error* error) {
  QMutexLocker locker(&lock_);
  QList<CameraFile> found;
  if (!openLocked(error) || !listFolder(QStringLiteral("/"), found, 0, error)) return {};
  return found;
}

QByteArray GPhotoCamera::fileBytes(const CameraFile& file, int type, fnd::Error* error) {
  if (!camera_) {
    if (error) *error = makeError(ErrorUnplugged, name());
    return {};
  }
  ::CameraFile* data = nullptr;
  ::gp_file_new(&data);
  QByteArray bytes;
  if (check(
          gp_camera_file_get(camera_, file.folder.toUtf8().constData(),
                             file.name.toUtf8().constData(), CameraFileType(type), data, context_),
          error)) {
    const char* pointer = nullptr;
    unsigned long size = 0;
    if (gp_file_get_data_and_size(data, &pointer, &size) >= GP_OK && pointer)
      bytes = QByteArray(pointer, qsizetype(size));
  }
  gp_file_unref(data);
  return bytes;
}

QImage GPhotoCamera::thumbnail(const CameraFile& file, int side, fnd::Error* error) {
  QMutexLocker locker(&lock_);
  if (!openLocked(error)) return {};
  // Most cameras keep a small preview; the folder driver has none, so the
  // file itself is read at a reduced size.
  QByteArray bytes = fileBytes(file, GP_FILE_TYPE_PREVIEW, nullptr);
  if (bytes.isEmpty()) bytes = fileBytes(file, GP_FILE_TYPE_NORMAL, error);
  if (bytes.isEmpty()) return {};
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.isValid() && std::max(size.width(), size.height()) > side)
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1}));
  QImage image = reader.read();
  if (image.isNull() && error) *error = makeError(ErrorBadData, name(), reader.errorString());
  return image;
}

QString GPhotoCamera::download(const CameraFile& file, const QString& folder, Progress& progress,
                               fnd::Error* error) {
  QMutexLocker locker(&lock_);
  if (!openLocked(error)) return {};
  progress_ = &progress;
  const QByteArray bytes = fileBytes(file, GP_FILE_TYPE_NORMAL, error);
  progress_ = nullptr;
  if (bytes.isEmpty()) return {};
  if (progress.cancelled) {
    if (error) *error = makeError(ErrorCancelled, name());
    return {};
  }
  // A new file each time, never one already there: only files made here
  // are later deleted.
  const QFileInfo info(file.name);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const QString candidate = QDir(folder).filePath(attempt == 0 ? info.fileName()
                                                                 : QStringLiteral("%1 %2.%3")
                                                                       .arg(info.completeBaseName())
                                                                       .arg(attempt + 1)
                                                                       .arg(info.suffix()));
    QFile out(candidate);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) continue;
    if (out.write(bytes) == bytes.size() && out.flush()) {
      progress.set(1);
      return candidate;
    }
    out.remove();
    break;
  }
  if (error)
    *error = makeError(ErrorFailed, name(),
                       QStringLiteral("The file could not be written to %1.").arg(folder));
  return {};
}

}  // namespace capture
