// The stored document the window and tool tests open: 400 x 300, top layer
// first a blue bar, a red square ("Sun") and a green ground.
#pragma once

#include <QColor>
#include <QString>

#include "graphics/Image.h"

class IMDocument;

namespace wintest {

gfx::ImagePtr solid(int width, int height, QColor color);

// Writes the document at `path` (replacing any file); false when it could
// not be made or saved.
bool storeThreeLayerDocument(const QString& path);

// Opens `path` as a user does, through the shared document controller,
// with its window; null when it could not be opened.
IMDocument* openThroughController(const QString& path);

}  // namespace wintest
