// The canvas's last composed document (background, grid and layers, without
// the tools' overlays), in the pixels of the canvas's bitmap. A redraw where
// only the overlays changed copies the document from here instead of
// compositing every layer again. It is kept per drawing setup: a change of
// zoom, size or backing scale drops it whole, a scroll moves it; a change of the
// document drops the part the canvas was told about.
#pragma once

#include <QImage>
#include <QRegion>
#include <QTransform>

class CanvasDocumentCache {
 public:
  // What the pixels depend on besides the document.
  struct Setup {
    QTransform transform;
    QPointF origin;
    QSize pixels;
    double scale = 1;
    bool grid = true;
    bool interpolation = true;
    bool operator==(const Setup&) const = default;
  };

  // Forgets everything kept (the next draw keeps afresh).
  void clear();
  // Forgets the pixels of `area` (bitmap pixels).
  void forget(const QRegion& area);
  // Whether `area` of `bitmap` can be copied from here for `setup`.
  bool covers(const Setup& setup, const QRect& area) const;
  // The part of `area` kept for `setup` (none for another setup).
  QRegion keptIn(const Setup& setup, const QRect& area) const;
  // Copies `area` of the kept document into `bitmap`.
  void restore(QImage& bitmap, const QRect& area) const;
  // Keeps `area` of `bitmap`, freshly composed for `setup`.
  void keep(const Setup& setup, const QImage& bitmap, const QRect& area);
  // The canvas scrolled from `from` to `to` (the setup's origins), its
  // bitmap's pixels moved by `pixels`: what is kept moves along.
  void scroll(const QPoint& pixels, const QPointF& from, const QPointF& to);

 private:
  static void copyRows(const QImage& from, QImage& to, const QRect& area);

  Setup setup_;
  QImage pixels_;
  QRegion kept_;
};
