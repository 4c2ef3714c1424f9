#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

#include "graphics/Image.h"

// The tools' images by name: chooser images ("brushTemplate", …) and cursor
// images ("brushTool", …), drawn by the program as dark strokes on a clear
// 20-point square at twice the pixels, made once and kept for the process.
class IMToolImages {
 public:
  // Null for a name the program has no drawing for.
  static gfx::ImagePtr imageNamed(const QString& name);
  // The pixels of an image at its largest bitmap, top row first; the
  // device pixel ratio says how many pixels make a point.
  static QImage pixelsOf(const gfx::ImagePtr& image);
  static QIcon iconOf(const gfx::ImagePtr& image);
  static QStringList names();
};
