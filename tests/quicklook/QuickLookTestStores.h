// Document stores the generator tests read, written through the model as
// the program writes them.
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>

struct StoreLayer {
  StoreLayer(const QRect& rect, const QColor& color, double alpha = 1, const QString& text = {})
      : rect(rect), color(color), alpha(alpha), text(text) {}
  QRect rect;  // in canvas pixels, y up
  QColor color;
  double alpha;
  QString text;   // a text layer of this text, at rect's origin, when set
  QImage pixels;  // when set, the layer's pixels instead of `color` (rect's size is theirs)
  double rotation = 0, zoom = 1;
  int operation = 2;  // source-over
};

// A store at `path` of a canvas of `canvas` with `layers`, the first on top.
void writeStore(const QString& path, const QSizeF& canvas, const QList<StoreLayer>& layers);
// A store of the current model holding layers but no composed image.
void writeRootlessStore(const QString& path);
// The names of the files in `folder`.
QStringList filesIn(const QString& folder);
