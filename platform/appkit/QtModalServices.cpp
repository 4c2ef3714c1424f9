#include "appkit/QtModalServices.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "foundation/Localized.h"
#include "imageio/TypeIdentifiers.h"

namespace ui {

namespace {

// Types the image layer does not know: the program's own document.
QStringList ownTypeExtensions(const QString& type) {
  if (type == QStringLiteral("com.brenwick.tessaly")) return {QStringLiteral("zova")};
  return {};
}

QString typeDescription(const QString& type, const QStringList& extensions) {
  if (type == QStringLiteral("com.brenwick.tessaly")) return fnd::localized("Tessaly document");
  QString known = io::TypeIdentifiers::localizedDescription(type);
  return known.isEmpty() ? extensions.value(0).toUpper() : known;
}

QStringList extensionsOfType(const QString& type) {
  QStringList extensions = io::TypeIdentifiers::filenameExtensions(type);
  if (extensions.isEmpty()) extensions = ownTypeExtensions(type);
  // Not a type identifier: a bare extension.
  if (extensions.isEmpty() && !type.contains(u'.')) extensions = {type};
  return extensions;
}

QMessageBox::Icon iconForStyle(AlertStyle style) {
  switch (style) {
    case AlertStyle::Informational:
      return QMessageBox::Information;
    case AlertStyle::Critical:
      return QMessageBox::Critical;
    case AlertStyle::Warning:
      break;
  }
  return QMessageBox::Warning;
}

constexpr const char* buttonPositionProperty = "alertButtonPosition";

QMessageBox* makeAlert(const AlertRequest& request, QWidget* parent) {
  auto* box = new QMessageBox(parent);
  box->setIcon(iconForStyle(request.style));
  box->setText(request.messageText);
  box->setInformativeText(request.informativeText);
  const QStringList titles =
      request.buttons.isEmpty() ? QStringList{fnd::localized("OK")} : request.buttons;
  for (qsizetype i = 0; i < titles.size(); ++i) {
    const bool cancels = request.escapeButton >= 0 ? i == request.escapeButton
                                                   : titles[i] == fnd::localized("Cancel");
    QMessageBox::ButtonRole role = i == 0    ? QMessageBox::AcceptRole
                                   : cancels ? QMessageBox::RejectRole
                                             : QMessageBox::ActionRole;
    QPushButton* button = box->addButton(titles[i], role);
    // The box lays its buttons out by role, so their order there is not ours.
    button->setProperty(buttonPositionProperty, int(i));
    if (i == 0) box->setDefaultButton(button);
    if (cancels || titles.size() == 1) box->setEscapeButton(button);
  }
  return box;
}

long alertAnswer(QMessageBox* box) {
  QAbstractButton* clicked = box->clickedButton();
  if (!clicked) return ModalResponseCancel;
  return AlertFirstButtonReturn + clicked->property(buttonPositionProperty).toInt();
}

// The accessory goes below the file list while the panel runs and back to
// its owner when the panel finishes, before the panel is deleted.
void attachAccessory(QFileDialog* dialog, const FilePanelRequest& request) {
  auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
  if (!grid) return;
  if (!request.message.isEmpty())
    grid->addWidget(new QLabel(request.message, dialog), grid->rowCount(), 0, 1,
                    grid->columnCount());
  if (!request.accessoryView) return;
  QPointer<QWidget> accessory = request.accessoryView;
  QPointer<QWidget> owner = accessory->parentWidget();
  const bool wasHidden = accessory->isHidden();
  grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
  accessory->show();
  QObject::connect(dialog, &QDialog::finished, dialog, [accessory, owner, wasHidden] {
    if (!accessory) return;
    accessory->setParent(owner);
    // Without an owner it would come back as a window of its own.
    accessory->setHidden(wasHidden || !owner);
  });
}

void configurePanel(QFileDialog* dialog, const FilePanelRequest& request, bool otherTypes) {
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  if (!request.title.isEmpty()) dialog->setWindowTitle(request.title);
  if (!request.prompt.isEmpty()) dialog->setLabelText(QFileDialog::Accept, request.prompt);
  if (request.directoryURL.isValid()) dialog->setDirectoryUrl(request.directoryURL);
  QStringList filters = QtModalServices::nameFilters(request.allowedFileTypes);
  if (otherTypes || filters.isEmpty()) filters.append(fnd::localized("All files (*)"));
  dialog->setNameFilters(filters);
  attachAccessory(dialog, request);
}

// Every pattern of `filters` ("Name (*.a *.b)") under one title, first.
QStringList withAllAllowedTypes(const QStringList& filters, const QString& title) {
  QStringList patterns;
  for (const QString& filter : filters) {
    const qsizetype open = filter.lastIndexOf(u'(');
    for (const QString& pattern : filter.mid(open + 1).chopped(1).split(u' ', Qt::SkipEmptyParts))
      if (!patterns.contains(pattern)) patterns.append(pattern);
  }
  if (title.isEmpty() || patterns.isEmpty()) return filters;
  return QStringList{QStringLiteral("%1 (%2)").arg(title, patterns.join(u' '))} + filters;
}

// An open panel offers every file as well, as the desktop's panels do.
QFileDialog* makeOpenPanel(const OpenPanelRequest& request, QWidget* parent) {
  auto* dialog = new QFileDialog(parent);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  if (!request.canChooseFiles && request.canChooseDirectories)
    dialog->setFileMode(QFileDialog::Directory);
  else
    dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                        : QFileDialog::ExistingFile);
  configurePanel(dialog, request, true);
  const QStringList filters = dialog->nameFilters();
  dialog->setNameFilters(
      withAllAllowedTypes(filters.mid(0, filters.size() - 1), request.allAllowedTypesTitle) +
      filters.mid(filters.size() - 1));
  return dialog;
}

QFileDialog* makeSavePanel(const SavePanelRequest& request, QWidget* parent) {
  auto* dialog = new QFileDialog(parent);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  if (!request.canCreateDirectories) dialog->setOption(QFileDialog::ReadOnly);
  configurePanel(dialog, request, request.allowsOtherFileTypes);
  if (!request.allowedFileTypes.isEmpty())
    dialog->setDefaultSuffix(extensionsOfType(request.allowedFileTypes.first()).value(0));
  if (!request.nameFieldStringValue.isEmpty()) dialog->selectFile(request.nameFieldStringValue);
  return dialog;
}

FilePanelResult panelAnswer(QFileDialog* dialog) {
  if (dialog->result() != QDialog::Accepted) return {};
  return {.response = ModalResponseOK, .urls = dialog->selectedUrls()};
}

QPrintDialog* makePrintPanel(QPrinter& printer, unsigned options, QWidget* parent) {
  auto* dialog = new QPrintDialog(&printer, parent);
  QAbstractPrintDialog::PrintDialogOptions shown;
  if (options & PrintPanelShowsPageRange) shown |= QAbstractPrintDialog::PrintPageRange;
  if (options & PrintPanelShowsPaperSize) shown |= QAbstractPrintDialog::PrintShowPageSize;
  if (options & PrintPanelShowsCopies) shown |= QAbstractPrintDialog::PrintCollateCopies;
  shown |= QAbstractPrintDialog::PrintToFile;
  dialog->setOptions(shown);
  return dialog;
}

long printAnswer(QDialog* dialog) {
  return dialog->result() == QDialog::Accepted ? ModalResponseOK : ModalResponseCancel;
}

// Shows `dialog` window-modal on `window` (application-modal without one)
// and hands it to `done` when it finishes; the dialog deletes itself after.
template <typename Dialog, typename Done>
void beginSheet(Dialog* dialog, QWidget* window, Done done) {
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)] {
    done(dialog);
    dialog->deleteLater();
  });
  dialog->open();
}

}  // namespace

QStringList QtModalServices::nameFilters(const QStringList& allowedFileTypes) {
  QStringList filters;
  for (const QString& type : allowedFileTypes) {
    const QStringList extensions = extensionsOfType(type);
    if (extensions.isEmpty()) continue;
    QStringList patterns;
    for (const QString& extension : extensions) patterns << QStringLiteral("*.") + extension;
    filters << QStringLiteral("%1 (%2)").arg(typeDescription(type, extensions),
                                             patterns.join(u' '));
  }
  return filters;
}

long QtModalServices::runAlert(const AlertRequest& request, QWidget* parent) {
  std::unique_ptr<QMessageBox> box(makeAlert(request, parent));
  box->exec();
  return alertAnswer(box.get());
}

FilePanelResult QtModalServices::runOpenPanel(const OpenPanelRequest& request, QWidget* parent) {
  std::unique_ptr<QFileDialog> dialog(makeOpenPanel(request, parent));
  dialog->exec();
  return panelAnswer(dialog.get());
}

FilePanelResult QtModalServices::runSavePanel(const SavePanelRequest& request, QWidget* parent) {
  std::unique_ptr<QFileDialog> dialog(makeSavePanel(request, parent));
  dialog->exec();
  return panelAnswer(dialog.get());
}

long QtModalServices::runPrintPanel(QPrinter& printer, unsigned options, QWidget* parent) {
  std::unique_ptr<QPrintDialog> dialog(makePrintPanel(printer, options, parent));
  dialog->exec();
  return printAnswer(dialog.get());
}

std::optional<QColor> QtModalServices::runColorPanel(const ColorPanelRequest& request,
                                                     QWidget* parent) {
  QColorDialog dialog(request.color, parent);
  dialog.setOptions(QColorDialog::DontUseNativeDialog |
                    (colorPanelShowsAlpha(request) ? QColorDialog::ShowAlphaChannel
                                                   : QColorDialog::ColorDialogOptions()));
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  if (request.colorChanged)
    QObject::connect(&dialog, &QColorDialog::currentColorChanged, &dialog, request.colorChanged);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

std::optional<QFont> QtModalServices::runFontPanel(const QFont& font, QWidget* parent) {
  QFontDialog dialog(font, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFont();
}

void QtModalServices::orderFrontFontPanel(const QFont& font, FontHandler changed) {
  if (!fontPanel_) {
    fontPanel_ = new QFontDialog;
    fontPanel_->setAttribute(Qt::WA_DeleteOnClose);
    fontPanel_->setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::NoButtons);
  }
  QObject::disconnect(fontConnection_);
  fontPanel_->setCurrentFont(font);
  if (changed)
    fontConnection_ =
        QObject::connect(fontPanel_, &QFontDialog::currentFontChanged, fontPanel_, changed);
  fontPanel_->show();
  fontPanel_->raise();
}

void QtModalServices::orderFrontColorPanel(const ColorPanelRequest& request) {
  if (!colorPanel_) {
    colorPanel_ = new QColorDialog;
    colorPanel_->setAttribute(Qt::WA_DeleteOnClose);
  }
  colorPanel_->setOptions(QColorDialog::DontUseNativeDialog | QColorDialog::NoButtons |
                          (colorPanelShowsAlpha(request) ? QColorDialog::ShowAlphaChannel
                                                         : QColorDialog::ColorDialogOptions()));
  if (!request.title.isEmpty()) colorPanel_->setWindowTitle(request.title);
  QObject::disconnect(colorConnection_);
  colorPanel_->setCurrentColor(request.color);
  if (request.colorChanged)
    colorConnection_ = QObject::connect(colorPanel_, &QColorDialog::currentColorChanged,
                                        colorPanel_, request.colorChanged);
  colorPanel_->show();
  colorPanel_->raise();
}

void QtModalServices::beginAlertSheet(const AlertRequest& request, QWidget* window,
                                      ResponseHandler completion) {
  beginSheet(
      makeAlert(request, window), window,
      [completion = std::move(completion)](QMessageBox* box) { completion(alertAnswer(box)); });
}

void QtModalServices::beginOpenPanelSheet(const OpenPanelRequest& request, QWidget* window,
                                          FilePanelHandler completion) {
  beginSheet(makeOpenPanel(request, window), window,
             [completion = std::move(completion)](QFileDialog* dialog) {
               completion(panelAnswer(dialog));
             });
}

void QtModalServices::beginSavePanelSheet(const SavePanelRequest& request, QWidget* window,
                                          FilePanelHandler completion) {
  beginSheet(makeSavePanel(request, window), window,
             [completion = std::move(completion)](QFileDialog* dialog) {
               completion(panelAnswer(dialog));
             });
}

void QtModalServices::beginPrintPanelSheet(QPrinter& printer, unsigned options, QWidget* window,
                                           ResponseHandler completion) {
  beginSheet(makePrintPanel(printer, options, window), window,
             [completion = std::move(completion)](QPrintDialog* dialog) {
               completion(printAnswer(dialog));
             });
}

}  // namespace ui
