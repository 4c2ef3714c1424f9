// The modal services the application shows: QMessageBox for alerts, the
// non-native QFileDialog (which can carry an accessory widget) for the open
// and save panels, QPrintDialog, QColorDialog with alpha and QFontDialog.
#pragma once

#include <QPointer>

#include "appkit/ModalServices.h"

class QColorDialog;
class QFontDialog;

namespace ui {

class QtModalServices : public ModalServices {
 public:
  long runAlert(const AlertRequest& request, QWidget* parent) override;
  FilePanelResult runOpenPanel(const OpenPanelRequest& request, QWidget* parent) override;
  FilePanelResult runSavePanel(const SavePanelRequest& request, QWidget* parent) override;
  long runPrintPanel(QPrinter& printer, unsigned options, QWidget* parent) override;
  std::optional<QColor> runColorPanel(const ColorPanelRequest& request, QWidget* parent) override;
  std::optional<QFont> runFontPanel(const QFont& font, QWidget* parent) override;

  void beginAlertSheet(const AlertRequest& request, QWidget* window,
                       ResponseHandler completion) override;
  void beginOpenPanelSheet(const OpenPanelRequest& request, QWidget* window,
                           FilePanelHandler completion) override;
  void beginSavePanelSheet(const SavePanelRequest& request, QWidget* window,
                           FilePanelHandler completion) override;
  void beginPrintPanelSheet(QPrinter& printer, unsigned options, QWidget* window,
                            ResponseHandler completion) override;

  void orderFrontFontPanel(const QFont& font, FontHandler changed) override;
  void orderFrontColorPanel(const ColorPanelRequest& request) override;

  // The file-name patterns ("*.png *.PNG"-like, one filter per type) the
  // panels offer for allowed types; exposed for tests.
  static QStringList nameFilters(const QStringList& allowedFileTypes);

 private:
  QPointer<QFontDialog> fontPanel_;
  QPointer<QColorDialog> colorPanel_;
  QMetaObject::Connection fontConnection_, colorConnection_;
};

}  // namespace ui
