// Document: closing with unsaved changes and presenting errors.
#include <QPointer>

#include "appkit/Document.h"
#include "appkit/DocumentController.h"
#include "appkit/ModalServices.h"
#include "appkit/WindowController.h"
#include "foundation/Localized.h"

namespace ui {

void Document::canCloseDocument(std::function<void(bool shouldClose)> completion) {
  if (!isDocumentEdited()) return completion(true);
  if (autosavesInPlace() && !fileURL_.isEmpty()) {
    QPointer<Document> self(this);
    return saveToURL(fileURL_, fileType_, AutosaveInPlaceOperation,
                     [self, completion](const fnd::Error* error) {
                       if (error && self) self->presentError(*error);
                       completion(!error);
                     });
  }
  askToSave(std::move(completion));
}

// Save (1000), Cancel (1001), Don't Save (1002).
void Document::askToSave(std::function<void(bool shouldClose)> completion) {
  AlertRequest alert;
  alert.messageText = fnd::localized("Do you want to save the changes made to the document “%1”?")
                          .arg(displayName());
  alert.informativeText = fnd::localized("Your changes will be lost if you don't save them.");
  alert.buttons = {fnd::localized("Save"), fnd::localized("Cancel"), fnd::localized("Don't Save")};
  QPointer<Document> self(this);
  ModalServices::shared().beginAlertSheet(alert, windowForSheet(),
                                          [self, completion](long response) {
                                            if (!self || response == AlertSecondButtonReturn)
                                              return completion(false);
                                            if (response == AlertThirdButtonReturn)
                                              return completion(true);
                                            // Only the Save button saves: an alert closed without
                                            // an answer (the program ending under it) cancels.
                                            if (response != AlertFirstButtonReturn)
                                              return completion(false);
                                            self->saveBeforeClosing(completion);
                                          });
}

// A file that cannot be written (replaced or removed under the document, a
// full disk) must not hold the window or the program: after the error the
// question comes again, with Don't Save and Cancel.
void Document::saveBeforeClosing(std::function<void(bool shouldClose)> completion) {
  if (fileURL_.isEmpty()) return runModalSavePanelForSaveOperation(SaveAsOperation, completion);
  QPointer<Document> self(this);
  saveToURL(fileURL_, fileType_, SaveOperation, [self, completion](const fnd::Error* error) {
    if (!error) return completion(true);
    if (!self) return completion(false);
    self->presentError(*error);
    self->askToSave(completion);
  });
}

void Document::shouldCloseWindowController(WindowController* controller,
                                           std::function<void(bool shouldClose)> completion) {
  const bool last = windowControllers_.size() == 1;
  if (!last && !controller->shouldCloseDocument()) return completion(true);
  canCloseDocument(std::move(completion));
}

fnd::Error Document::willPresentError(const fnd::Error& error) {
  return controller_ ? controller_->willPresentError(error) : error;
}

bool Document::presentError(const fnd::Error& error) {
  fnd::Error shown = error;
  if (!presentingError_) {
    presentingError_ = true;
    shown = willPresentError(error);
    presentingError_ = false;
  }
  ModalServices::shared().runAlert(AlertRequest::fromError(shown), windowForSheet());
  return false;
}

void Document::presentErrorModalForWindow(const fnd::Error& error,
                                          std::function<void()> completion) {
  fnd::Error shown = error;
  if (!presentingError_) {
    presentingError_ = true;
    shown = willPresentError(error);
    presentingError_ = false;
  }
  ModalServices::shared().beginAlertSheet(AlertRequest::fromError(shown), windowForSheet(),
                                          [completion](long) {
                                            if (completion) completion();
                                          });
}

}  // namespace ui
