// The one seam every modal interaction of the program runs through: alerts,
// open and save panels, the print, colour and font panels. The application
// uses the Qt dialogs (QtModalServices); tests install ScriptedModalServices,
// which answers from a queue and never shows a window.
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace fnd {
class Error;
}

namespace ui {

// Stored values keep the platform's numbering.
enum class AlertStyle { Warning = 0, Informational = 1, Critical = 2 };

// Answers of a modal session. An alert answers with the position of the
// pressed button: 1000 for the first (the default button), 1001, 1002, ...
enum ModalResponse : long {
  ModalResponseCancel = 0,
  ModalResponseOK = 1,
  AlertFirstButtonReturn = 1000,
  AlertSecondButtonReturn = 1001,
  AlertThirdButtonReturn = 1002,
};

struct AlertRequest {
  AlertStyle style = AlertStyle::Warning;
  QString messageText;
  QString informativeText;
  // In order: the first is the default (Return), a button titled "Cancel"
  // answers Escape. No buttons means one "OK" button.
  QStringList buttons;
  // The position of the button Escape presses when none is titled "Cancel";
  // -1 leaves Escape to the "Cancel" button, or to a lone button.
  int escapeButton = -1;

  // The alert that presents an error: its description as the message, its
  // recovery suggestion (else its failure reason) as the informative text.
  static AlertRequest fromError(const fnd::Error& error);
};

// Fields shared by the open and the save panel.
struct FilePanelRequest {
  QString title;
  QString message;
  QString prompt;  // the OK button's title; empty for the default
  QUrl directoryURL;
  // Type identifiers ("public.png", "com.brenwick.tessaly") or bare
  // extensions ("png"); empty allows every file.
  QStringList allowedFileTypes;
  // Borrowed while the panel runs; the caller keeps ownership.
  QWidget* accessoryView = nullptr;
};

struct SavePanelRequest : FilePanelRequest {
  QString nameFieldStringValue;
  bool allowsOtherFileTypes = false;
  bool canCreateDirectories = true;
  bool isExtensionHidden = false;
};

struct OpenPanelRequest : FilePanelRequest {
  // When set, the panel's first filter (the one chosen at first) offers
  // every allowed type at once under this title; each type follows, and
  // "All files" last.
  QString allAllowedTypesTitle;
  bool canChooseFiles = true;
  bool canChooseDirectories = false;
  bool allowsMultipleSelection = false;
};

// ModalResponseOK with the chosen URLs (one for a save panel), or
// ModalResponseCancel with none.
struct FilePanelResult {
  long response = ModalResponseCancel;
  QList<QUrl> urls;
  QUrl url() const { return urls.value(0); }
};

// What the print panel lets the user change besides copies and pages.
enum PrintPanelOption : unsigned {
  PrintPanelShowsCopies = 0x01,
  PrintPanelShowsPageRange = 0x02,
  PrintPanelShowsPaperSize = 0x04,
  PrintPanelShowsOrientation = 0x08,
  PrintPanelShowsScaling = 0x10,
};

struct ColorPanelRequest {
  QColor color;
  bool showsAlpha = true;
  QString title;
  // Called as the user changes the colour, before the panel closes.
  std::function<void(const QColor&)> colorChanged;
};

class ModalServices {
 public:
  using ResponseHandler = std::function<void(long response)>;
  using FilePanelHandler = std::function<void(const FilePanelResult& result)>;

  virtual ~ModalServices();

  // The installed services; the Qt dialogs unless something else is set.
  static ModalServices& shared();
  // Installs `services` (not owned) and returns the previous ones; null
  // restores the Qt dialogs.
  static ModalServices* setShared(ModalServices* services);

  // Whether every colour panel of the application leaves out opacity; while
  // it does, a request's showsAlpha is not honoured.
  static void setColorPanelIgnoresAlpha(bool ignores);
  static bool colorPanelIgnoresAlpha();
  // What a colour panel made for `request` shows, under that setting.
  static bool colorPanelShowsAlpha(const ColorPanelRequest& request);

  // Application-modal sessions: they return when the user has answered.
  // `parent` (may be null) only places the dialog.
  virtual long runAlert(const AlertRequest& request, QWidget* parent) = 0;
  virtual FilePanelResult runOpenPanel(const OpenPanelRequest& request, QWidget* parent) = 0;
  virtual FilePanelResult runSavePanel(const SavePanelRequest& request, QWidget* parent) = 0;
  // Shows the printer's settings; an OK leaves the user's choices in `printer`.
  virtual long runPrintPanel(QPrinter& printer, unsigned options, QWidget* parent) = 0;
  virtual std::optional<QColor> runColorPanel(const ColorPanelRequest& request,
                                              QWidget* parent) = 0;
  virtual std::optional<QFont> runFontPanel(const QFont& font, QWidget* parent) = 0;

  // Sheets: window-modal on `window`. They return at once; the handler runs
  // when the user has answered. Without a window they run application-modal.
  virtual void beginAlertSheet(const AlertRequest& request, QWidget* window,
                               ResponseHandler completion) = 0;
  virtual void beginOpenPanelSheet(const OpenPanelRequest& request, QWidget* window,
                                   FilePanelHandler completion) = 0;
  virtual void beginSavePanelSheet(const SavePanelRequest& request, QWidget* window,
                                   FilePanelHandler completion) = 0;
  virtual void beginPrintPanelSheet(QPrinter& printer, unsigned options, QWidget* window,
                                    ResponseHandler completion) = 0;

  // Floating panels, as the font and colour panels are: shown without
  // blocking anything, they report each choice through the handler until
  // closed. Ordering a panel front again brings it forward with the new
  // font or colour and handler.
  using FontHandler = std::function<void(const QFont& font)>;
  virtual void orderFrontFontPanel(const QFont& font, FontHandler changed) = 0;
  // Reports through the request's colorChanged.
  virtual void orderFrontColorPanel(const ColorPanelRequest& request) = 0;
};

}  // namespace ui
