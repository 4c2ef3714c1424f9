#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include "TestSupport.h"
#include "appkit/QtModalServices.h"

namespace {

// Acts on the next modal dialog as a user would, from the event loop the
// dialog runs. A dialog the action leaves open is rejected after a while,
// failing the test instead of hanging it.
void whenModal(std::function<void(QDialog*)> act) {
  auto* poll = new QTimer(qApp);
  auto started = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, started, act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      if (++*started > 500) {
        ADD_FAILURE() << "no dialog appeared";
        poll->deleteLater();
      }
      return;
    }
    poll->deleteLater();
    act(dialog);
    QPointer<QDialog> left = dialog;
    QTimer::singleShot(3000, qApp, [left] {
      if (!left || !left->isVisible()) return;
      ADD_FAILURE() << "the dialog stayed open";
      left->reject();
    });
  });
  poll->start(10);
}

void saveGrab(QWidget* widget, const QString& name) {
  const QString path = tst::tempPath(name);
  widget->grab().save(path);
  tst::saveArtifact(path, name);
}

QAbstractButton* buttonTitled(QDialog* dialog, const QString& title) {
  for (auto* button : dialog->findChildren<QAbstractButton*>())
    if (button->text() == title) return button;
  return nullptr;
}

TEST(QtModalServices, AlertsAnswerWithThePressedButtonsPositionModalOrAsSheet) {
  ui::QtModalServices dialogs;
  ui::AlertRequest request;
  request.style = ui::AlertStyle::Critical;
  request.messageText = "Facebook export";
  request.informativeText = "Facebook image exportation failed. Please try again later.";
  request.buttons = {"Save", "Don't Save", "Cancel"};
  struct Case {
    QString press;  // empty: Escape
    long expected;
  };
  for (const Case& c :
       {Case{"Don't Save", ui::AlertSecondButtonReturn}, Case{"Save", ui::AlertFirstButtonReturn},
        Case{"", ui::AlertThirdButtonReturn}}) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString defaultTitle;
    whenModal([&](QDialog* d) {
      auto* box = qobject_cast<QMessageBox*>(d);
      if (c.expected == ui::AlertSecondButtonReturn) saveGrab(box, "appkit-alert-critical.png");
      icon = box->icon();
      defaultTitle = box->defaultButton()->text();
      if (c.press.isEmpty()) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(box, &escape);
      } else
        buttonTitled(box, c.press)->click();
    });
    EXPECT_EQ(dialogs.runAlert(request, nullptr), c.expected) << c.press.toStdString();
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(defaultTitle, "Save");
  }

  QWidget window;
  window.show();
  long answer = 0;
  Qt::WindowModality modality = Qt::NonModal;
  whenModal([&](QDialog* d) {
    modality = d->windowModality();
    buttonTitled(d, "Cancel")->click();
  });
  dialogs.beginAlertSheet(request, &window, [&](long r) { answer = r; });
  EXPECT_EQ(answer, 0);  // a sheet returns before it is answered
  ASSERT_TRUE(tst::spinUntil([&] { return answer != 0; }));
  EXPECT_EQ(answer, ui::AlertThirdButtonReturn);
  EXPECT_EQ(modality, Qt::WindowModal);
}

TEST(QtModalServices, SavePanelCarriesTheAccessoryAndGivesItBack) {
  ui::QtModalServices dialogs;
  QWidget owner;
  auto* accessory = new QLineEdit(&owner);
  accessory->setObjectName("quality");
  accessory->hide();
  ui::SavePanelRequest request;
  request.title = "Export";
  request.directoryURL = QUrl::fromLocalFile(tst::tempDir());
  request.nameFieldStringValue = "picture";
  request.allowedFileTypes = {"public.jpeg"};
  request.accessoryView = accessory;

  QStringList filters;
  bool accessoryShown = false;
  whenModal([&](QDialog* d) {
    auto* panel = qobject_cast<QFileDialog*>(d);
    filters = panel->nameFilters();
    accessoryShown = accessory->window() == panel && accessory->isVisible();
    accessory->setText("92");
    saveGrab(panel, "appkit-save-panel-with-accessory.png");
    static_cast<QDialog*>(panel)->accept();
  });
  ui::FilePanelResult result = dialogs.runSavePanel(request, nullptr);

  EXPECT_EQ(result.response, ui::ModalResponseOK);
  EXPECT_EQ(result.url().toLocalFile().toStdString(),
            (tst::tempDir() + "/picture.jpeg").toStdString());
  ASSERT_EQ(filters.size(), 1);
  EXPECT_TRUE(filters[0].contains("*.jpg")) << filters[0].toStdString();
  EXPECT_TRUE(accessoryShown);
  EXPECT_EQ(accessory->parentWidget(), &owner);
  EXPECT_TRUE(accessory->isHidden());
  EXPECT_EQ(accessory->text(), "92");
}

TEST(QtModalServices, NameFiltersCoverKnownTypesTheDocumentAndBareExtensions) {
  const QStringList filters =
      ui::QtModalServices::nameFilters({"public.png", "com.brenwick.tessaly", "webp", "x.y.z"});
  ASSERT_EQ(filters.size(), 3);
  EXPECT_TRUE(filters[0].endsWith("(*.png)")) << filters[0].toStdString();
  EXPECT_TRUE(filters[1].endsWith("(*.zova)")) << filters[1].toStdString();
  EXPECT_TRUE(filters[2].endsWith("(*.webp)")) << filters[2].toStdString();
}

TEST(QtModalServices, ColourPanelKeepsAlphaAndReportsLiveChanges) {
  ui::QtModalServices dialogs;
  ui::ColorPanelRequest request;
  request.color = QColor(255, 0, 0);
  QList<QColor> live;
  request.colorChanged = [&](const QColor& c) { live << c; };
  whenModal([](QDialog* d) {
    auto* panel = qobject_cast<QColorDialog*>(d);
    panel->setCurrentColor(QColor(0, 128, 255, 100));
    saveGrab(panel, "appkit-colour-panel-with-alpha.png");
    static_cast<QDialog*>(panel)->accept();
  });
  std::optional<QColor> chosen = dialogs.runColorPanel(request, nullptr);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->alpha(), 100);
  EXPECT_EQ(chosen->rgb(), QColor(0, 128, 255).rgb());
  ASSERT_FALSE(live.isEmpty());
  EXPECT_EQ(live.last(), *chosen);

  whenModal([](QDialog* d) { d->reject(); });
  EXPECT_EQ(dialogs.runColorPanel(request, nullptr), std::nullopt);
}

}  // namespace

namespace {

TEST(QtModalServices, OpenPanelGivesTheChosenFilesAndFontPanelTheChosenFont) {
  ui::QtModalServices dialogs;
  const QString folder = tst::tempDir() + "/open-panel";
  QDir().mkpath(folder);
  for (const char* name : {"a.png", "b.png", "notes.txt"}) {
    QFile file(folder + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ui::OpenPanelRequest request;
  request.directoryURL = QUrl::fromLocalFile(folder);
  request.allowedFileTypes = {"public.png"};
  request.allowsMultipleSelection = true;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  whenModal([&](QDialog* d) {
    auto* panel = qobject_cast<QFileDialog*>(d);
    mode = panel->fileMode();
    panel->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.png\" \"b.png\"");
    static_cast<QDialog*>(panel)->accept();
  });
  ui::FilePanelResult result = dialogs.runOpenPanel(request, nullptr);
  EXPECT_EQ(mode, QFileDialog::ExistingFiles);
  EXPECT_EQ(result.response, ui::ModalResponseOK);
  EXPECT_EQ(result.urls, (QList<QUrl>{QUrl::fromLocalFile(folder + "/a.png"),
                                      QUrl::fromLocalFile(folder + "/b.png")}));

  whenModal([](QDialog* d) {
    auto* panel = qobject_cast<QFontDialog*>(d);
    panel->setCurrentFont(QFont("DejaVu Serif", 17));
    panel->accept();
  });
  std::optional<QFont> font = dialogs.runFontPanel(QFont("DejaVu Sans", 12), nullptr);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->family(), "DejaVu Serif");
  EXPECT_EQ(font->pointSize(), 17);
}

}  // namespace

namespace {

TEST(QtModalServices, PrintPanelAnswersForThePrinterItWasGiven) {
  ui::QtModalServices dialogs;
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(tst::tempPath("panel.pdf"));
  for (bool accept : {false, true}) {
    QPrintDialog::PrintDialogOptions options;
    whenModal([&](QDialog* d) {
      options = qobject_cast<QPrintDialog*>(d)->options();
      if (!accept) saveGrab(d, "appkit-print-panel.png");
      accept ? d->accept() : d->reject();
    });
    EXPECT_EQ(dialogs.runPrintPanel(printer, ui::PrintPanelShowsPaperSize, nullptr),
              accept ? ui::ModalResponseOK : ui::ModalResponseCancel);
    EXPECT_TRUE(options.testFlag(QAbstractPrintDialog::PrintShowPageSize));
    EXPECT_FALSE(options.testFlag(QAbstractPrintDialog::PrintPageRange));
  }
}

}  // namespace

namespace {

template <typename Panel>
Panel* floatingPanel() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* panel = qobject_cast<Panel*>(widget); panel && panel->isVisible()) return panel;
  return nullptr;
}

// The font and colour panels float: showing them blocks nothing, each choice
// reaches the latest handler, and showing again reuses the panel.
TEST(QtModalServices, FloatingPanelsReportEveryChoiceToTheLatestHandler) {
  ui::QtModalServices dialogs;
  QList<QFont> first, second;
  dialogs.orderFrontFontPanel(QFont("DejaVu Sans", 12), [&](const QFont& f) { first << f; });
  QFontDialog* fonts = floatingPanel<QFontDialog>();
  ASSERT_NE(fonts, nullptr);
  EXPECT_FALSE(fonts->isModal());
  fonts->setCurrentFont(QFont("DejaVu Serif", 20));
  ASSERT_FALSE(first.isEmpty());
  EXPECT_EQ(first.last().family(), "DejaVu Serif");
  dialogs.orderFrontFontPanel(QFont("DejaVu Sans", 9), [&](const QFont& f) { second << f; });
  EXPECT_EQ(floatingPanel<QFontDialog>(), fonts);
  const qsizetype before = first.size();
  fonts->setCurrentFont(QFont("DejaVu Sans Mono", 14));
  EXPECT_EQ(first.size(), before);
  ASSERT_FALSE(second.isEmpty());
  EXPECT_EQ(second.last().family(), "DejaVu Sans Mono");
  fonts->close();

  QList<QColor> colours;
  ui::ColorPanelRequest request;
  request.color = Qt::red;
  request.colorChanged = [&](const QColor& c) { colours << c; };
  dialogs.orderFrontColorPanel(request);
  QColorDialog* panel = floatingPanel<QColorDialog>();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->testOption(QColorDialog::ShowAlphaChannel));
  panel->setCurrentColor(QColor(1, 2, 3, 4));
  ASSERT_FALSE(colours.isEmpty());
  EXPECT_EQ(colours.last(), QColor(1, 2, 3, 4));
  panel->close();
}

}  // namespace
