// The document window's zoom and frame arithmetic, apart from the widgets:
// the zoom range, the title's percentage, the fitting zoom, the frame that
// shows the whole image and the room a side panel takes.
#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>
#include <cstdint>

struct WindowZoomGeometry {
  // The zoom slider's range, 1 % to 10000 % (slider positions −2 to 2 on
  // its base-10 scale). Zooms out of it are brought back to its ends.
  static constexpr double kMinimumZoom = 0.01;
  static constexpr double kMaximumZoom = 100;

  // A zoom the window can show: not finite or not positive gives 1, the
  // rest is kept within the slider's range.
  static double validZoom(double zoom);
  // round(zoom × 100) for the title, never out of the range of its type.
  static std::uint64_t titlePercent(double zoom);
  // The zoom at which an image of `imageSize` pixels fills `visible` view
  // points on a display of `backingScale` device pixels per point: the
  // smaller of the two axes' ratios; an empty axis counts as 1.
  static double fitZoom(const QSizeF& imageSize, const QSizeF& visible, double backingScale);

  // The window frame (y down, decorations included) grown or shrunk by the
  // part of the image not shown (`hidden`, negative when the image is
  // smaller than the visible area): its left and top edges stay, it never
  // reaches beyond `screen` (the visible frame) and never goes below
  // `minimum`. An empty screen leaves the frame as it is.
  static QRect frameShowingImage(const QRect& frame, const QSizeF& hidden, const QRect& screen,
                                 const QSize& minimum);

  // A collapsible area's size and the room its neighbour keeps for it
  // after a request to hide or show it; unchanged when the area already is
  // as asked (shown means a size other than 0).
  struct Area {
    double size;
    double space;
  };
  static Area areaAfter(Area area, bool hide, double defaultSize);
};
