// Document: the print info and the Print command.
#include <QPointer>

#include "appkit/Document.h"
#include "appkit/PrintOperation.h"
#include "appkit/Window.h"
#include "foundation/Localized.h"

namespace ui {

void Document::printDocument(QObject*) { printShowingPrintPanel(true); }

void Document::printShowingPrintPanel(bool showPanel) {
  fnd::Error error;
  std::unique_ptr<PrintOperation> operation = printOperationWithSettings({}, &error);
  if (!operation) {
    if (error.isNull())
      error = fnd::Error::withDescription(
          fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
          fnd::localized("The document “%1” could not be printed.").arg(displayName()));
    presentErrorModalForWindow(error, {});
    return;
  }
  operation->setShowsPrintPanel(showPanel);
  printOperation_ = std::move(operation);
  QPointer<Document> self(this);
  PrintOperation* running = printOperation_.get();
  running->runOperationModalForWindow(windowForSheet(), [self, running](bool) {
    // Later: the operation is still on the stack that called this.
    if (self && self->printOperation_.get() == running)
      QMetaObject::invokeMethod(
          self,
          [self] {
            if (self) self->printOperation_.reset();
          },
          Qt::QueuedConnection);
  });
}

std::unique_ptr<PrintOperation> Document::printOperationWithSettings(const QVariantMap&,
                                                                     fnd::Error* error) {
  fnd::fail(error, fnd::CocoaErrorDomain, fnd::FileWriteUnknownError,
            fnd::localized("The document “%1” has nothing to print.").arg(displayName()));
  return nullptr;
}

PrintInfoPtr Document::printInfo() {
  if (!printInfo_) printInfo_ = PrintInfo::make();
  return printInfo_;
}

void Document::setPrintInfo(PrintInfoPtr printInfo) {
  willChangeValueForKey(QStringLiteral("printInfo"));
  printInfo_ = std::move(printInfo);
  didChangeValueForKey(QStringLiteral("printInfo"));
}

}  // namespace ui
