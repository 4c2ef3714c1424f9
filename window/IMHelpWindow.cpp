#include "window/IMHelpWindow.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "appkit/Workspace.h"
#include "foundation/Localized.h"
#include "window/IMCloseKeys.h"

static void initHelpResources() { Q_INIT_RESOURCE(IMHelp); }

IMHelpWindow::IMHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), readMeView_(new QTextBrowser(this)) {
  initHelpResources();
  setWindowTitle(fnd::localized("Tessaly Help"));
  setObjectName(QStringLiteral("IMHelp"));
  readMeView_->setOpenLinks(false);
  connect(readMeView_, &QTextBrowser::anchorClicked, this,
          [](const QUrl& url) { ui::Workspace::sharedWorkspace().openURL(url); });
  QFile file(readMePath());
  // A missing read-me leaves the window empty rather than failing.
  if (file.open(QIODevice::ReadOnly)) readMeView_->setHtml(QString::fromUtf8(file.readAll()));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(readMeView_);
  resize(560, 640);
  IMCloseKeys::installIn(this);
}

QString IMHelpWindow::readMePath() { return QStringLiteral(":/help/Read Me.html"); }

QString IMHelpWindow::writeAcknowledgments() {
  initHelpResources();
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  const QString path = folder + QStringLiteral("/Acknowledgments.html");
  QFile::remove(path);
  if (!QDir().mkpath(folder) || !QFile::copy(QStringLiteral(":/help/Acknowledgments.html"), path))
    return {};
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
  return path;
}
