// The Open panel as the File menu shows it: every readable type at once
// (chosen at first), then each type, then every file; it starts in the
// folder the user last opened a file from, remembered across runs, and
// before any in the Pictures folder.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include "TestSupport.h"
#include "TextDocument.h"
#include "appkit/DocumentController.h"
#include "appkit/QtModalServices.h"
#include "appkit/ScriptedModalServices.h"
#include "foundation/UserDefaults.h"

namespace {

// Lets the desktop's user folders be ours: the Pictures folder is `pictures`.
void usePicturesFolder(const QString& pictures) {
  const QString config = tst::tempPath("xdg-config");
  QDir().mkpath(config);
  QFile dirs(config + "/user-dirs.dirs");
  ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
  dirs.write(QString("XDG_PICTURES_DIR=\"%1\"\n").arg(pictures).toUtf8());
  dirs.close();
  qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
  QDir().mkpath(pictures);
}

QString touch(const QString& folder, const QString& name) {
  QDir().mkpath(folder);
  QFile file(folder + "/" + name);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("text");
  return file.fileName();
}

}  // namespace

TEST(OpenPanel, StartsInPicturesThenInTheLastFolderUsedAcrossRuns) {
  const QString pictures = tst::tempPath("Bilder");
  usePicturesFolder(pictures);
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("OpenPanelDirectory");
  apptest::TextDocumentController controller;
  ui::ScriptedModalServices modal;
  modal.setUnexpectedDialogHandler(
      [](const QString& what) { ADD_FAILURE() << "unexpected " << what.toStdString(); });

  const QString folder = tst::tempPath("letters");
  const QString chosen = touch(folder, "note.txt");
  modal.answerOpenPanel({QUrl::fromLocalFile(chosen)});
  controller.openDocument(nullptr);
  ASSERT_EQ(modal.shown().size(), 1);
  const ui::OpenPanelRequest first = modal.shown().last().open;
  EXPECT_EQ(first.directoryURL, QUrl::fromLocalFile(pictures)) << "the Pictures folder at first";
  EXPECT_EQ(first.allAllowedTypesTitle, "All supported images");
  EXPECT_EQ(controller.documents().size(), 1u) << "the chosen file opened";

  modal.cancel(ui::ScriptedModalServices::Dialog::OpenPanel);
  controller.openDocument(nullptr);
  EXPECT_EQ(modal.shown().last().open.directoryURL, QUrl::fromLocalFile(folder));

  // A document without a file is saved, at first, where files were last opened from.
  ui::Document* untitled = controller.openUntitledDocumentAndDisplay(false, nullptr);
  ASSERT_TRUE(untitled);
  modal.cancel(ui::ScriptedModalServices::Dialog::SavePanel);
  untitled->runModalSavePanelForSaveOperation(ui::SaveAsOperation, nullptr);
  EXPECT_EQ(modal.shown().last().save.directoryURL, QUrl::fromLocalFile(folder));

  // The next run reads the folder from the stored defaults.
  fnd::UserDefaults::standardUserDefaults().synchronize();
  auto nextRun = fnd::UserDefaults::withFile(fnd::UserDefaults::standardFilePath());
  EXPECT_EQ(nextRun->stringForKey("OpenPanelDirectory"), folder);

  // A remembered folder that went away gives way to Pictures again.
  QDir(folder).removeRecursively();
  EXPECT_EQ(controller.openPanelDirectoryURL(), QUrl::fromLocalFile(pictures));
}

TEST(OpenPanel, OffersAllSupportedImagesFirstEachTypeAndAllFiles) {
  const QString pictures = tst::tempPath("Pictures");
  usePicturesFolder(pictures);
  touch(pictures, "holiday.png");
  touch(pictures, "painting.zova");
  touch(pictures, "notes.txt");
  fnd::UserDefaults::standardUserDefaults().removeObjectForKey("OpenPanelDirectory");
  ui::OpenPanelRequest request;
  {
    ui::DocumentController controller;  // the program's types
    ui::ScriptedModalServices modal;
    modal.cancel(ui::ScriptedModalServices::Dialog::OpenPanel);
    controller.openDocument(nullptr);
    request = modal.shown().last().open;
  }

  QStringList filters, shownFiles;
  QString selected, directory;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
    auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!panel) return;
    poll->deleteLater();
    panel->resize(760, 480);
    // The list fills from a background thread; the grab waits for it.
    tst::spinUntil([&] { return panel->findChildren<QAbstractItemView*>().size() > 0; }, 500);
    tst::spinUntil([] { return false; }, 300);
    filters = panel->nameFilters();
    selected = panel->selectedNameFilter();
    directory = panel->directory().absolutePath();
    tst::saveArtifactImage(panel->grab().toImage(), "appkit-open-panel-filters.png");
    panel->reject();
  });
  poll->start(10);
  ui::QtModalServices dialogs;
  ui::FilePanelResult result = dialogs.runOpenPanel(request, nullptr);
  EXPECT_EQ(result.response, ui::ModalResponseCancel);

  ASSERT_GE(filters.size(), 4);
  EXPECT_TRUE(filters.first().startsWith("All supported images ("))
      << filters.first().toStdString();
  for (const char* pattern : {"*.zova", "*.png", "*.jpg", "*.tiff"})
    EXPECT_TRUE(filters.first().contains(pattern)) << pattern;
  EXPECT_EQ(filters.last(), "All files (*)");
  EXPECT_EQ(selected, filters.first()) << "the default";
  EXPECT_TRUE(filters.mid(1, filters.size() - 2).filter("(*.png)").size() == 1) << "each type";
  EXPECT_EQ(directory, QDir(pictures).absolutePath());
}
