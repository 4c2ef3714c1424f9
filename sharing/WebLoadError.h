// A failed load of the web engine as the platform's URL-loading error, so
// the dialogs judge all load failures by one set of codes.
#pragma once

#include <QWebEngineLoadingInfo>

#include "foundation/Error.h"

fnd::Error webLoadError(const QWebEngineLoadingInfo& info);
