// Pictures from a scanner (SANE's `test` device) and from a camera (a folder
// through libgphoto2's directory driver) arriving in the document window as
// new layers through the capture sheet, and the device errors a user sees.
#include <gtest/gtest.h>
#include <sane/sane.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "../capture/GPhotoTestDrivers.h"
#include "../capture/SaneTestBackend.h"
#include "TestSupport.h"
#include "appkit/ScriptedModalServices.h"
#include "capture/SaneScanner.h"
#include "documents/IMDocument.h"
#include "documents/IMDocumentController.h"
#include "graphics/CGImage.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"
#include "window/CameraDeviceView.h"
#include "window/DeviceBrowserView.h"
#include "window/IMImageCaptureWindow.h"
#include "window/IMLayersArrayController.h"
#include "window/IMWindowController.h"
#include "window/ScannerDeviceView.h"

namespace {

const bool kBackend = captest::useSaneTestBackend();
const bool kDrivers = captest::useGPhotoDirectoryDriver();

QImage pattern(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(3 * x % 256, 5 * y % 256, 90));
  return image;
}

QImage pixelsOf(Layer* layer) {
  gfx::ImagePtr image = layer ? layer->image()->nsImage() : nullptr;
  gfx::CGImagePtr bitmap = image ? image->CGImageForProposedRect(nullptr, nullptr) : nullptr;
  return bitmap ? bitmap->toFormat(QImage::Format_RGB32) : QImage();
}

// A document window over two layers with the capture sheet open, a memory
// card folder among its cameras.
struct CaptureWindow {
  CaptureWindow() {
    EXPECT_TRUE(kDrivers);
    QImage picture = pattern(120, 80);
    QDir(card.path()).mkpath("DCIM");
    picture.save(card.filePath("DCIM/beach.png"));
    DeviceBrowserView::setCameraFolders({card.path()});
    IMWindowController::installAsDocumentWindow();
    fnd::Error error;
    document = qobject_cast<IMDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    window = dynamic_cast<IMWindowController*>(document->windowController());
    ComposedImage* image = document->composedImage();
    image->setSize({400, 300});
    Layer::createLayerWithComposedImage(image, document->managedObjectContext(), true);
    // Layers with pixels: an empty document would take the picture into its layer.
    for (Layer* layer : image->layersArray())
      layer->image()->setNsImage(gfx::Image::imageWithCGImage(gfx::CGImage::make(pattern(40, 30))));
    window->layersController()->setSelectionIndex(0);
    tst::spinUntil([&] { return window->isLayersPanelLoaded(); });
    tst::spinOnce();
    window->showImageCaptureUI(nullptr);
    sheet = window->imageCaptureWindow();
  }
  ~CaptureWindow() {
    if (otherProgram) sane_close(otherProgram);
    DeviceBrowserView::setCameraFolders({});
    if (document) document->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  int layerCount() const { return int(document->composedImage()->layersArray().size()); }
  bool selectDevice(const QString& identifier) {
    DeviceBrowserView* browser = sheet->deviceBrowserView();
    return tst::spinUntil([&] { return !browser->isDiscovering(); }, 20000) &&
           browser->selectDevice(identifier);
  }
  bool sheetEnded() const {
    return !window->imageCaptureWindow() && (!sheet || !sheet->isVisible());
  }
  QString cardIdentifier() const { return "disk:" + QDir(card.path()).absolutePath(); }

  QTemporaryDir card;
  ui::ScriptedModalServices modal;
  IMDocumentController controller;
  IMDocument* document = nullptr;
  IMWindowController* window = nullptr;
  QPointer<IMImageCaptureWindow> sheet;
  // A scanner another program holds open answers busy to everyone else.
  SANE_Handle otherProgram = nullptr;
};

}  // namespace

TEST(ImageCapture, AScanArrivesAsANewLayerWithTheScannersPixels) {
  ASSERT_TRUE(kBackend);
  CaptureWindow w;
  ASSERT_TRUE(w.sheet && w.sheet->isVisible());
  ASSERT_TRUE(w.selectDevice("test:0"));
  EXPECT_EQ(w.sheet->selectedTabIdentifier(), "Scanner");
  EXPECT_EQ(w.sheet->deviceBrowserView()->deviceList()->count(), 3);
  ScannerDeviceView* view = w.sheet->scannerView();
  view->setScanOption("test-picture", "Color pattern");
  view->setScanOption("resolution", 40);
  view->overview();
  ASSERT_TRUE(tst::spinUntil([&] { return !view->isScanning(); }, 20000));
  EXPECT_FALSE(view->previewImage().isNull());
  tst::saveArtifactImage(w.sheet->grab().toImage(), "capture-sheet-scanner-overview.png");
  EXPECT_EQ(w.layerCount(), 2) << "an overview adds nothing";

  // The view goes with the sheet once the picture arrives.
  const capture::ScanSettings settings = view->scanSettings(false);
  view->scan();
  ASSERT_TRUE(tst::spinUntil([&] { return w.layerCount() == 3; }, 20000)) << w.layerCount();
  EXPECT_TRUE(w.sheetEnded()) << "one picture ends the sheet";
  EXPECT_EQ(w.modal.shown().size(), 0);
  // The layer holds what the scanner sends for the same settings.
  capture::SaneScanner scanner("test:0", "test");
  capture::Progress progress;
  fnd::Error error;
  const QImage expected = scanner.scan(settings, progress, &error);
  ASSERT_FALSE(expected.isNull());
  EXPECT_EQ(pixelsOf(w.window->layersController()->arrangedLayers().value(0)), expected);
}

TEST(ImageCapture, ACameraPictureArrivesAsANewLayerAndItsDownloadIsRemoved) {
  CaptureWindow w;
  ASSERT_TRUE(w.selectDevice(w.cardIdentifier()));
  EXPECT_EQ(w.sheet->selectedTabIdentifier(), "Camera");
  CameraDeviceView* view = w.sheet->cameraView();
  EXPECT_EQ(view->mode(), CameraDeviceView::DisplayModeIcon);
  ASSERT_TRUE(tst::spinUntil([&] { return view->thumbnailCount() == 1; }, 20000));
  tst::saveArtifactImage(w.sheet->grab().toImage(), "capture-sheet-device-browser-camera.png");
  const QString downloads = w.window->imageCaptureDownloadsFolder();
  EXPECT_FALSE(downloads.startsWith(QDir::homePath() + "/Documents"));

  view->downloadSelectedItems();
  ASSERT_TRUE(tst::spinUntil([&] { return w.layerCount() == 3; }, 20000));
  EXPECT_EQ(pixelsOf(w.window->layersController()->arrangedLayers().value(0)), pattern(120, 80));
  EXPECT_TRUE(QDir(downloads).isEmpty()) << "the downloaded copy is deleted";
  EXPECT_TRUE(QFile::exists(w.card.filePath("DCIM/beach.png"))) << "the camera keeps its picture";
  EXPECT_TRUE(w.sheetEnded());
}

// Busy, cancelled and unplugged devices: the alert says so, no layer is
// added, and the sheet ends.
TEST(ImageCapture, DeviceErrorsShowAClearMessageAndAddNoLayer) {
  ASSERT_TRUE(kBackend);
  struct Case {
    const char* what;
    std::function<void(CaptureWindow&)> act;
    QString message;
  } cases[] = {
      {"busy",
       [](CaptureWindow& w) {
         ASSERT_TRUE(w.selectDevice("test:1"));
         // Busy as a scanner in use elsewhere is: the driver refuses to open
         // it. (A driver failing the first read instead makes the scan cancel
         // a frame at the instant its reader thread starts, which the `test`
         // driver may never come back from.)
         ASSERT_EQ(sane_open("test:1", &w.otherProgram), SANE_STATUS_GOOD);
         w.sheet->scannerView()->scan();
       },
       "is busy"},
      {"cancelled",
       [](CaptureWindow& w) {
         ASSERT_TRUE(w.selectDevice("test:1"));
         ScannerDeviceView* view = w.sheet->scannerView();
         // Slow reads of small blocks, so the scan is still running when cancelled.
         view->setScanOption("read-delay", true);
         view->setScanOption("read-delay-duration", 100000);
         view->setScanOption("read-limit", true);
         view->setScanOption("read-limit-size", 1);
         // The scan waits on the driver's descriptor, so the cancel never
         // meets a frame whose reader has not begun.
         view->setScanOption("select-fd", true);
         view->scan();
         ASSERT_TRUE(view->isScanning());
         view->cancel();
       },
       "was cancelled"},
      {"unplugged",
       [](CaptureWindow& w) {
         ASSERT_TRUE(w.selectDevice(w.cardIdentifier()));
         CameraDeviceView* view = w.sheet->cameraView();
         ASSERT_TRUE(tst::spinUntil([&] { return view->files().size() == 1; }, 20000));
         ASSERT_TRUE(w.card.remove());
         view->downloadSelectedItems();
       },
       "is no longer connected"},
  };
  for (const Case& c : cases) {
    CaptureWindow w;
    w.modal.answerAlert(ui::AlertFirstButtonReturn);
    c.act(w);
    ASSERT_TRUE(tst::spinUntil([&] { return w.modal.shown().size() == 1; }, 20000)) << c.what;
    EXPECT_TRUE(w.modal.shown()[0].alert.messageText.contains(c.message))
        << c.what << ": " << w.modal.shown()[0].alert.messageText.toStdString();
    EXPECT_EQ(w.layerCount(), 2) << c.what;
    EXPECT_TRUE(w.sheetEnded()) << c.what;
  }
}

// What arrives decides what is added and what is deleted: only a file in
// the program's own downloads folder is ever removed.
TEST(ImageCapture, ReceivedPicturesAddLayersAndDeleteOnlyTheProgramsDownloads) {
  CaptureWindow w;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  pattern(10, 10).save(&buffer, "PNG");
  const QString own = QDir(w.window->imageCaptureDownloadsFolder()).filePath("scan.png");
  const QString users = w.card.filePath("DCIM/beach.png");
  pattern(10, 10).save(own);
  ASSERT_EQ(w.layerCount(), 2);

  w.window->didReceiveImageAtLocation({}, png, {});
  EXPECT_EQ(w.layerCount(), 3) << "data without a file";
  w.window->didReceiveImageAtLocation(QUrl::fromLocalFile(users), {}, {});
  EXPECT_EQ(w.layerCount(), 4);
  EXPECT_TRUE(QFile::exists(users)) << "a file the program did not make stays";
  w.window->didReceiveImageAtLocation(QUrl::fromLocalFile(own), {}, {});
  EXPECT_EQ(w.layerCount(), 5);
  EXPECT_FALSE(QFile::exists(own));
  w.window->didReceiveImageAtLocation({}, {}, {});
  EXPECT_EQ(w.layerCount(), 5) << "neither file nor data";
  EXPECT_EQ(w.modal.shown().size(), 0);

  // Selecting no device leaves the tabs and the views as they were.
  ASSERT_TRUE(w.selectDevice(w.cardIdentifier()));
  auto camera = w.sheet->cameraView()->cameraDevice();
  w.window->deviceBrowserView(w.sheet->deviceBrowserView(), nullptr);
  EXPECT_EQ(w.sheet->selectedTabIdentifier(), "Camera");
  EXPECT_EQ(w.sheet->cameraView()->cameraDevice(), camera);
  // Closing twice is harmless; the next showing loads a new sheet.
  w.window->willCloseImageCaptureWindow();
  w.window->willCloseImageCaptureWindow();
  EXPECT_EQ(w.window->imageCaptureWindow(), nullptr);
}
