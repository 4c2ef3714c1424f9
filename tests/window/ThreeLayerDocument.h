// The stored document the window and tool tests open: 400 x 300, top layer
// first a blue bar, a red square ("Sun") and a green ground.
#pragma once

#include <QColor>
#include <QString>

#include "graphics/Image.h"

namespace wintest {

gfx::ImagePtr solid(int width, int height, QColor color);

// Writes the document at `path` (replacing any file); false when it could
// not be made or saved.
bool storeThreeLayerDocument(const QString& path);

}  // namespace wintest
