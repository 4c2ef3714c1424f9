#pragma once

// While one of these is alive on a thread, the layers drawn there leave out
// those whose stored pixels are still on their way into memory instead of
// waiting for them, and ask for those pixels first; each such layer tells
// its observers when its pixels are in, so the view repaints it then. Only
// a view of the document may show it partly: flattening, saving, export,
// thumbnails and tools draw without one and see every layer.
class DrawingAsLayersArrive {
 public:
  DrawingAsLayersArrive();
  ~DrawingAsLayersArrive();
  DrawingAsLayersArrive(const DrawingAsLayersArrive&) = delete;
  DrawingAsLayersArrive& operator=(const DrawingAsLayersArrive&) = delete;

  static bool isActive();
};
