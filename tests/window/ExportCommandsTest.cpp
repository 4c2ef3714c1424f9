// The File menu's Export…, Save As… and New from Clipboard as the program
// runs them: its document controller, its windows and menus, with scripted
// answers to the panels and alerts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

#include "TestSupport.h"
#include "appkit/Application.h"
#include "appkit/CrashReporter.h"
#include "appkit/DocumentController.h"
#include "appkit/MenuItem.h"
#include "appkit/ScriptedModalServices.h"
#include "appkit/Window.h"
#include "appkit/core/Pasteboard.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "documents/IMImageFormatsSettings.h"
#include "foundation/UserDefaults.h"
#include "graphics/GraphicsContext.h"
#include "imageio/TypeIdentifiers.h"
#include "model/ComposedImage.h"
#include "model/IMImagesUtilities.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/IMAppResponder.h"
#include "window/IMWindowController.h"

namespace {

using Dialog = ui::ScriptedModalServices::Dialog;

// The program as it starts (the application first, then its delegate),
// ended with the test: its documents close and its document controller
// goes, so a later start makes the shared one again.
class ProgramRun {
 public:
  explicit ProgramRun(const QString& defaultsName)
      : app_(ui::Application::sharedApplication()),
        defaults_(fnd::UserDefaults::withFile(tst::tempPath(defaultsName))),
        responder_(defaults_.get()) {
    // The read-me shown at a first start would open as one more window in
    // the middle of a test that counts them.
    defaults_->setBool(true,
                       IMAppResponder::helpKeyForVersion(QCoreApplication::applicationVersion()));
    app_->setDelegate(&responder_);
    responder_.awakeFromNib();
    IMWindowController::installAsDocumentWindow();
    app_->finishLaunching();
    ui::CrashReporter::sharedCrashReporter().stopManager();
  }
  ~ProgramRun() {
    if (ui::DocumentController* controller = responder_.documentController()) {
      for (ui::Document* document : controller->documents()) document->close();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      delete controller;
    }
    app_->setDelegate(nullptr);
  }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  ui::DocumentController* controller() const { return responder_.documentController(); }

  IMDocument* open(const QString& path) {
    ui::Document* opened = nullptr;
    controller()->openDocumentWithContentsOfURL(
        QUrl::fromLocalFile(path), true,
        [&](ui::Document* document, bool, const fnd::Error*) { opened = document; });
    EXPECT_TRUE(tst::spinUntil(
        [&] { return opened && controller()->documentForWindow(app_->keyWindow()) == opened; }));
    return qobject_cast<IMDocument*>(opened);
  }

  // Chooses the File menu item of `action` in the key window, once the
  // window carries its menu.
  void choose(const QString& action) {
    ui::MenuItem* chosen = nullptr;
    tst::spinUntil([&] {
      ui::Window* window = app_->keyWindow();
      QAction* file = window ? window->menuBar()->actions().value(0) : nullptr;
      for (QAction* item : file && file->menu() ? file->menu()->actions() : QList<QAction*>())
        if (auto* menuItem = qobject_cast<ui::MenuItem*>(item);
            menuItem && menuItem->action() == action)
          chosen = menuItem;
      return chosen != nullptr;
    });
    ASSERT_TRUE(chosen) << "no File menu item sends " << action.toStdString();
    ASSERT_TRUE(chosen->isEnabled()) << action.toStdString() << " is disabled";
    chosen->trigger();
  }

 private:
  ui::Application* app_;
  std::unique_ptr<fnd::UserDefaults> defaults_;
  IMAppResponder responder_;
};

// A stored document of two layers.
void writeDocument(const QString& path, QColor color) {
  IMDocument document;
  ASSERT_TRUE(document.initWithType(IMNativeDocumentType, nullptr));
  ComposedImage* image = document.composedImage();
  image->setSize(QSizeF(96, 64));
  Layer::createLayerWithComposedImage(image, document.managedObjectContext(), true);
  image->layersArray()[0]->image()->setNsImage(
      ima_imageWithPixelSize(QSizeF(40, 30), [color](const QRectF& rect) {
        gfx::GraphicsContext::current()->fillRect(rect, color, gfx::CompositingOperation::Copy);
        return true;
      }));
  bool done = false;
  document.saveToURL(QUrl::fromLocalFile(path), IMNativeDocumentType, ui::SaveAsOperation,
                     [&](const fnd::Error* error) {
                       EXPECT_FALSE(error);
                       done = true;
                     });
  ASSERT_TRUE(tst::spinUntil([&] { return done; }));
  document.close();
}

QByteArray digestOf(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

bool isSQLiteStore(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

struct DefaultScope {
  DefaultScope(const QString& key, const QVariant& value) : key_(key) {
    auto& defaults = fnd::UserDefaults::standardUserDefaults();
    previous_ = defaults.objectForKey(key);
    defaults.setObject(value, key);
  }
  ~DefaultScope() { fnd::UserDefaults::standardUserDefaults().setObject(previous_, key_); }
  QString key_;
  QVariant previous_;
};

}  // namespace

// Export proposes the export type's extension, writes a copy and leaves the
// document as it was; over the file of any open document, its own or
// another's, it is refused with an alert and the file keeps its bytes.
TEST(ExportCommandsTest, ExportNeverReplacesAnOpenDocumentsFile) {
  DefaultScope type("saveType", io::TypePNG);
  DefaultScope asItself("IMOpenImagesInZova", false);
  const QString own = tst::tempPath("export-own.zova");
  const QString other = tst::tempPath("export-other.zova");
  const QString picture = tst::tempPath("export-picture.png");
  writeDocument(own, QColor(200, 40, 40));
  writeDocument(other, QColor(40, 40, 200));
  QImage pixels(20, 10, QImage::Format_ARGB32);
  pixels.fill(QColor(10, 200, 200));
  ASSERT_TRUE(pixels.save(picture, "PNG"));
  const QByteArray ownBytes = digestOf(own), otherBytes = digestOf(other);
  const QByteArray pictureBytes = digestOf(picture);

  ProgramRun run("export.plist");
  ui::ScriptedModalServices dialogs;
  dialogs.setUnexpectedDialogHandler(
      [](const QString& description) { ADD_FAILURE() << description.toStdString(); });
  ASSERT_TRUE(run.open(other));
  ASSERT_TRUE(run.open(picture));
  IMDocument* document = run.open(own);
  ASSERT_TRUE(document);

  // The document's own store, another's, and a picture open as itself whose
  // name already has the export's extension.
  for (const QString& target : {own, other, picture}) {
    SCOPED_TRACE(target.toStdString());
    const int before = int(dialogs.shown().size());
    dialogs.answerSavePanel(QUrl::fromLocalFile(target));
    dialogs.answerAlert(ui::AlertFirstButtonReturn);
    run.choose("saveDocumentTo:");
    ASSERT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }))
        << dialogs.shown().size() - before << " dialogs shown, " << dialogs.pendingAnswers()
        << " answers left";
    ASSERT_EQ(dialogs.shown().size(), before + 2);
    const ui::SavePanelRequest panel = dialogs.shown()[before].save;
    EXPECT_EQ(panel.nameFieldStringValue, "export-own.png");
    EXPECT_EQ(panel.allowedFileTypes, QStringList{io::TypePNG});
    const ui::AlertRequest alert = dialogs.shown()[before + 1].alert;
    EXPECT_TRUE(alert.messageText.contains(QFileInfo(target).fileName()))
        << alert.messageText.toStdString();
    EXPECT_TRUE(alert.informativeText.contains("flattened")) << alert.informativeText.toStdString();
  }
  EXPECT_EQ(digestOf(own), ownBytes);
  EXPECT_EQ(digestOf(other), otherBytes);
  EXPECT_EQ(digestOf(picture), pictureBytes);
  EXPECT_FALSE(QFileInfo::exists(own + ".png"));

  // A name of its own gets the export; the document stays what it was.
  const QString copy = tst::tempPath("export-copy");
  QFile::remove(copy + ".png");
  dialogs.answerSavePanel(QUrl::fromLocalFile(copy));
  run.choose("saveDocumentTo:");
  ASSERT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }));
  QImage exported(copy + ".png");
  ASSERT_FALSE(exported.isNull()) << "the typed name gets the type's extension";
  EXPECT_EQ(exported.size(), QSize(96, 64));
  EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(own));
  EXPECT_EQ(document->fileType(), IMNativeDocumentType);
  EXPECT_EQ(digestOf(own), ownBytes);
  EXPECT_TRUE(isSQLiteStore(own));
}

// Save As of a picture opened as its own type proposes a ZOVA name, and the
// file written there is the store the name says.
TEST(ExportCommandsTest, SaveAsOfAPictureOpenedAsItselfWritesAStoreNamedAsOne) {
  DefaultScope zova("IMOpenImagesInZova", false);
  const QString photo = tst::tempPath("save-as-photo.jpg");
  QImage pixels(32, 24, QImage::Format_RGB32);
  pixels.fill(QColor(30, 160, 90));
  ASSERT_TRUE(pixels.save(photo, "JPEG"));
  const QByteArray photoBytes = digestOf(photo);

  ProgramRun run("save-as.plist");
  ui::ScriptedModalServices dialogs;
  dialogs.setUnexpectedDialogHandler(
      [](const QString& description) { ADD_FAILURE() << description.toStdString(); });
  IMDocument* document = run.open(photo);
  ASSERT_TRUE(document);
  ASSERT_EQ(document->fileType(), io::TypeJPEG);

  const QString store = tst::tempPath("save-as-photo.zova");
  QFile::remove(store);
  dialogs.answerSavePanel(QUrl::fromLocalFile(store));
  run.choose("saveDocumentAs:");
  ASSERT_TRUE(tst::spinUntil([&] { return dialogs.pendingAnswers() == 0; }));
  const ui::SavePanelRequest panel = dialogs.shown().last().save;
  EXPECT_EQ(panel.nameFieldStringValue, "save-as-photo.zova");
  EXPECT_EQ(panel.allowedFileTypes, QStringList{IMNativeDocumentType});
  ASSERT_TRUE(tst::spinUntil([&] { return document->fileURL() == QUrl::fromLocalFile(store); }));
  EXPECT_TRUE(isSQLiteStore(store));
  EXPECT_EQ(document->fileType(), IMNativeDocumentType);
  EXPECT_FALSE(QFileInfo::exists(photo + ".jpeg"));
  EXPECT_EQ(digestOf(photo), photoBytes);
}

// New from Clipboard makes a document of the clipboard's picture: in the
// untouched window there is, else in a new one.
TEST(ExportCommandsTest, NewFromClipboardMakesADocumentOfTheClipboardsPicture) {
  ProgramRun run("clipboard.plist");
  ui::ScriptedModalServices dialogs;
  QImage picture(50, 30, QImage::Format_ARGB32);
  picture.fill(QColor(250, 120, 10));
  ui::Pasteboard& pasteboard = ui::Pasteboard::generalPasteboard();
  pasteboard.clearContents();
  ASSERT_TRUE(pasteboard.writeObjects({gfx::Image::imageWithCGImage(gfx::CGImage::make(picture))}));
  auto* controller = qobject_cast<IMDocumentController*>(run.controller());
  ASSERT_TRUE(controller);
  ASSERT_TRUE(IMDocumentController::pasteboardHasImage());

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const qsizetype before = controller->documents().size();
    controller->newDocumentFromPasteboard(nullptr);
    ASSERT_TRUE(tst::spinUntil([&] {
      auto* document = qobject_cast<IMDocument*>(controller->documents().value(round));
      return document && document->composedImage() && !document->isEmpty();
    }));
    EXPECT_EQ(controller->documents().size(), before + 1);
    auto* document = qobject_cast<IMDocument*>(controller->documents().value(round));
    ComposedImage* image = document->composedImage();
    EXPECT_EQ(image->size(), QSizeF(50, 30));
    ASSERT_EQ(image->layersArray().size(), 1);
    const QImage flat =
        image->finalImageKeepAlpha(true)->CGImageForProposedRect(nullptr, nullptr)->qImage();
    EXPECT_EQ(flat.pixelColor(25, 15), QColor(250, 120, 10));
  }
}

namespace {

QWidgetList visibleWindows() {
  QWidgetList windows;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible()) windows.append(widget);
  return windows;
}

QFileDialog* shownPanel() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* panel = qobject_cast<QFileDialog*>(widget); panel && panel->isVisible()) return panel;
  return nullptr;
}

}  // namespace

// The export panel as the user sees it (the desktop's save dialog holding the
// format view): the name follows the format picker, the size is estimated,
// and once the panel closes nothing of it is left as a window, however
// often it is used.
TEST(ExportCommandsTest, ThePanelsNameFollowsTheFormatAndNothingOfItStaysBehind) {
  DefaultScope type("saveType", io::TypePNG);
  const QString path = tst::tempPath("export-panel.zova");
  writeDocument(path, QColor(20, 140, 60));
  ProgramRun run("export-panel.plist");
  IMDocument* document = run.open(path);
  ASSERT_TRUE(document);
  tst::spinOnce();
  const QWidgetList windows = visibleWindows();
  const qsizetype topLevels = QApplication::topLevelWidgets().size();

  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    run.choose("saveDocumentTo:");
    QFileDialog* panel = nullptr;
    ASSERT_TRUE(tst::spinUntil([&] { return (panel = shownPanel()) != nullptr; }));
    auto* name = panel->findChild<QLineEdit*>("fileNameEdit");
    auto* view = panel->findChild<IMImageFormatsSettings*>();
    ASSERT_TRUE(name && view);
    EXPECT_EQ(name->text(), "export-panel.png");
    view->typePopUp()->setCurrentIndex(view->typePopUp()->findData(io::TypeJPEG));
    EXPECT_EQ(name->text(), "export-panel.jpeg");
    EXPECT_EQ(panel->defaultSuffix(), "jpeg");
    view->typePopUp()->setCurrentIndex(view->typePopUp()->findData(io::TypePNG));
    EXPECT_EQ(name->text(), "export-panel.png");
    ASSERT_TRUE(tst::spinUntil(
        [&] { return !document->isCalculatingFileSize() && !view->sizeText()->text().isEmpty(); },
        20000));
    if (round == 0) {
      panel->resize(760, 560);
      const QString grab = tst::tempPath("export-panel-dialog.png");
      ASSERT_TRUE(panel->grab().save(grab));
      tst::saveArtifact(grab, "window-export-panel.png");
    }
    panel->reject();
    ASSERT_TRUE(tst::spinUntil([&] { return shownPanel() == nullptr; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(visibleWindows(), windows);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), topLevels);
  }
}
