#pragma once

#include <QIcon>
#include <QString>

#include "graphics/Image.h"

// The small monochrome images of the document window's buttons and toolbar:
// the desktop's icon theme first, the program's own drawing when the theme
// lacks one, so every button shows something on any desktop.
class IMTemplateImages {
 public:
  // `drawn` names the program's drawing: "add", "remove", "merge", "layers",
  // "font" or "theater".
  static QIcon themeIcon(const QString& themeName, const QString& drawn);
  // The same as an image of 24 x 24 points at twice the pixels.
  static gfx::ImagePtr themeImage(const QString& themeName, const QString& drawn);
  // The program's own drawing: dark strokes on a transparent 24-point square.
  static QPixmap drawnIcon(const QString& name);
};
