#include "appkit/ModalServices.h"

#include "appkit/QtModalServices.h"
#include "foundation/Error.h"

namespace ui {

namespace {
ModalServices* installed = nullptr;
bool colorPanelsIgnoreAlpha = false;
}  // namespace

ModalServices::~ModalServices() = default;

ModalServices& ModalServices::shared() {
  if (installed) return *installed;
  static QtModalServices dialogs;
  return dialogs;
}

ModalServices* ModalServices::setShared(ModalServices* services) {
  ModalServices* previous = installed;
  installed = services;
  return previous;
}

void ModalServices::setColorPanelIgnoresAlpha(bool ignores) { colorPanelsIgnoreAlpha = ignores; }

bool ModalServices::colorPanelIgnoresAlpha() { return colorPanelsIgnoreAlpha; }

bool ModalServices::colorPanelShowsAlpha(const ColorPanelRequest& request) {
  return request.showsAlpha && !colorPanelsIgnoreAlpha;
}

AlertRequest AlertRequest::fromError(const fnd::Error& error) {
  AlertRequest request;
  request.style = AlertStyle::Warning;
  request.messageText = error.localizedDescription();
  request.informativeText = error.localizedRecoverySuggestion();
  if (request.informativeText.isEmpty()) request.informativeText = error.localizedFailureReason();
  return request;
}

}  // namespace ui
