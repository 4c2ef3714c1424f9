// The export panel's settings of IMDocument: observable values the panel's
// controls follow, the chosen type and alpha kept in the user defaults, and
// the file-size estimate started by reading fileSizeTriger.
#include "appkit/ModalServices.h"
#include "documents/FileSizeEstimator.h"
#include "documents/FileSizeText.h"
#include "documents/IMDocument.h"
#include "documents/IMImageFormatsSettings.h"
#include "foundation/Localized.h"
#include "foundation/OperationQueue.h"
#include "foundation/UserDefaults.h"
#include "imageio/ImageProperties.h"
#include "imageio/TypeIdentifiers.h"

namespace {

const QString kSaveTypeDefault = QStringLiteral("saveType");
const QString kKeepsAlphaDefault = QStringLiteral("savedFileKeepsAlpha");

bool isKnownCompression(int value) {
  return value == io::TIFFCompressionNone || value == io::TIFFCompressionLZW ||
         value == io::TIFFCompressionPackBits;
}

}  // namespace

QString IMDocument::imageIOLocalizedString(const QString& type) {
  if (type == IMNativeDocumentType)
    return fnd::localized("%1 (Tessaly)").arg(IMNativeFileExtension.toUpper());
  const QString name = io::TypeIdentifiers::localizedDescription(type);
  return name.isEmpty() ? type : name;
}

QVariantList IMDocument::saveTypes() const {
  static const QStringList order{io::TypePDF, io::TypeTIFF,     io::TypeBMP,
                                 io::TypeGIF, io::TypeJPEG,     io::TypePNG,
                                 io::TypeTGA, io::TypeJPEG2000, io::TypeOpenEXR};
  QVariantList types;
  for (const QString& type : order)
    if (type != QStringLiteral("public.image") && type != IMNativeDocumentType)
      types.append(QVariantMap{{"uti", type}, {"localized", imageIOLocalizedString(type)}});
  return types;
}

void IMDocument::setSaveType(const QString& type) {
  if (type == saveType_) return;
  willChangeValueForKey("saveType");
  saveType_ = type;
  fnd::UserDefaults::standardUserDefaults().setObject(type.isNull() ? QVariant() : type,
                                                      kSaveTypeDefault);
  didChangeValueForKey("saveType");
}

int IMDocument::saveTab() const {
  if (saveType_ == io::TypeTIFF) return 2;
  if (saveType_ == io::TypeJPEG || saveType_ == io::TypeJPEG2000) return 1;
  return 0;
}

double IMDocument::saveQuality() {
  return savedMetaAndOptions().value(io::DestinationLossyCompressionQuality).toDouble();
}

void IMDocument::setSaveQuality(double quality) {
  willChangeValueForKey("saveQuality");
  savedMetaAndOptions()[io::DestinationLossyCompressionQuality] = quality;
  didChangeValueForKey("saveQuality");
}

int IMDocument::saveCompression() {
  const int value = savedMetaAndOptions()
                        .value(io::PropertyTIFFDictionary)
                        .toMap()
                        .value(io::PropertyTIFFCompression)
                        .toInt();
  return isKnownCompression(value) ? value : io::TIFFCompressionNone;
}

void IMDocument::setSaveCompression(int compression) {
  willChangeValueForKey("saveCompression");
  QVariantMap& options = savedMetaAndOptions();
  QVariantMap tiff = options.value(io::PropertyTIFFDictionary).toMap();
  tiff[io::PropertyTIFFCompression] = compression;
  options[io::PropertyTIFFDictionary] = tiff;
  didChangeValueForKey("saveCompression");
}

bool IMDocument::savedFileKeepsAlpha() const {
  fnd::UserDefaults& defaults = fnd::UserDefaults::standardUserDefaults();
  if (!defaults.hasKey(kKeepsAlphaDefault)) {
    defaults.setBool(true, kKeepsAlphaDefault);
    return true;
  }
  return defaults.boolForKey(kKeepsAlphaDefault);
}

void IMDocument::setSavedFileKeepsAlpha(bool keepsAlpha) {
  willChangeValueForKey("savedFileKeepsAlpha");
  fnd::UserDefaults::standardUserDefaults().setBool(keepsAlpha, kKeepsAlphaDefault);
  didChangeValueForKey("savedFileKeepsAlpha");
}

bool IMDocument::selectedTypeDoesNotSupportAlpha() const {
  return saveType_ == io::TypeBMP || saveType_ == io::TypeJPEG;
}

QString IMDocument::fileSizeTriger() {
  estimatedFileSize_ = -1;
  setSaveFileSize(QString());
  if (saveType_.isEmpty()) {
    setCalculatingFileSize(false);
    return saveFileSize_;
  }
  fileSizePreviewQueue();
  estimator_->cancelPending();
  if (saveType_ == IMNativeDocumentType) {
    setCalculatingFileSize(false);
    return saveFileSize_;
  }
  // Only the layers' values and the options are taken here, on the main
  // thread; flattening and encoding run on the queue, so a slider dragged
  // over the quality never waits for them. Ticks faster than an estimate
  // replace the one waiting, and the one running is dropped when it ends.
  ExportSnapshot::Ptr snapshot = exportSnapshot(saveType_, savedFileKeepsAlpha());
  if (!snapshot) {
    setCalculatingFileSize(false);
    return saveFileSize_;
  }
  setCalculatingFileSize(true);
  estimator_->estimate(snapshot, [this](qint64 bytes) { applyEstimate(bytes); });
  return saveFileSize_;
}

void IMDocument::applyEstimate(qint64 bytes) {
  estimatedFileSize_ = bytes;
  setSaveFileSize(bytes >= 0 ? FileSizeText::fileStyle(bytes) : QString());
  setCalculatingFileSize(false);
}

void IMDocument::setSaveFileSize(const QString& text) {
  if (text == saveFileSize_ && text.isNull() == saveFileSize_.isNull()) return;
  willChangeValueForKey("saveFileSize");
  saveFileSize_ = text;
  didChangeValueForKey("saveFileSize");
}

void IMDocument::setCalculatingFileSize(bool calculating) {
  if (calculating == isCalculatingFileSize_) return;
  willChangeValueForKey("isCalculatingFileSize");
  isCalculatingFileSize_ = calculating;
  didChangeValueForKey("isCalculatingFileSize");
}

bool IMDocument::prepareSavePanel(ui::SavePanelRequest& panel) {
  if (currentSaveOperation() != ui::SaveToOperation) return true;
  // Between exports the view waits hidden inside the document's window, so
  // it never stands about as a window of its own; the panel shows it.
  if (!savePanelView_) {
    savePanelView_ = new IMImageFormatsSettings(this, appropriateWindowForDocModalOperations());
    savePanelView_->hide();
  }
  panel.accessoryView = savePanelView_;
  const QVariant stored = fnd::UserDefaults::standardUserDefaults().objectForKey(kSaveTypeDefault);
  setSaveType(stored.isValid() ? stored.toString() : io::TypePNG);
  panel.allowedFileTypes = {saveType_};
  // The document may have changed since the panel last showed a size.
  fileSizeTriger();
  return true;
}

// Save As writes the native store whatever the document was opened from,
// so its panel offers that type alone and names the file after it.
QStringList IMDocument::writableTypesForSaveOperation(ui::SaveOperationType op) const {
  if (op == ui::SaveToOperation) return ui::PersistentDocument::writableTypesForSaveOperation(op);
  return {IMNativeDocumentType};
}

QString IMDocument::fileTypeFromLastRunSavePanel() const {
  return currentSaveOperation() == ui::SaveToOperation ? saveType_ : IMNativeDocumentType;
}

QVariant IMDocument::valueForKey(const QString& key) const {
  auto* self = const_cast<IMDocument*>(this);
  if (key == "saveType") return saveType_;
  if (key == "saveTypes") return saveTypes();
  if (key == "saveTab") return saveTab();
  if (key == "saveQuality") return self->saveQuality();
  if (key == "saveCompression") return self->saveCompression();
  if (key == "savedFileKeepsAlpha") return savedFileKeepsAlpha();
  if (key == "selectedTypeDoesNotSupportAlpha") return selectedTypeDoesNotSupportAlpha();
  // Reading the trigger is what starts an estimate, as a bound field does.
  if (key == "fileSizeTriger") return self->fileSizeTriger();
  if (key == "saveFileSize") return saveFileSize_;
  if (key == "isCalculatingFileSize") return isCalculatingFileSize_;
  if (key == "isEmpty") return self->isEmpty();
  return ui::PersistentDocument::valueForKey(key);
}

QSet<QString> IMDocument::keyPathsForValuesAffectingValueForKey(const QString& key) const {
  if (key == "selectedTypeDoesNotSupportAlpha" || key == "saveTab") return {"saveType"};
  if (key == "fileSizeTriger")
    return {"saveCompression", "saveQuality", "saveType", "savedFileKeepsAlpha"};
  return ui::PersistentDocument::keyPathsForValuesAffectingValueForKey(key);
}
