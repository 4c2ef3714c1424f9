// The canvas's view of a stroke in progress: which layer it paints, and
// the document drawn below that layer or from it up.
#include "model/ComposedImage.h"
#include "model/DrawingAsLayersArrive.h"
#include "model/Layer.h"
#include "window/IMWindowController.h"

namespace {

// The index of the one visible layer with a painting in progress; -1 for
// none, or for several, which the canvas then draws whole.
qsizetype indexOfPaintedLayer(const QList<Layer*>& layers) {
  qsizetype found = -1;
  for (qsizetype i = 0; i < layers.size(); ++i) {
    if (layers[i]->emptyAccumulator()) continue;
    if (found >= 0 || !layers[i]->visible()) return -1;
    found = i;
  }
  return found;
}

}  // namespace

// The stroke's accumulator stands for it: each stroke makes its own.
const void* IMWindowController::paintedLayer() const {
  ComposedImage* image = composedImage();
  if (!image) return nullptr;
  const QList<Layer*> layers = image->layersArray();
  const qsizetype index = indexOfPaintedLayer(layers);
  return index < 0 ? nullptr : layers[index]->CIImageAccumulator().get();
}

void IMWindowController::viewDrawingLayersInRect(const QRectF& rect, Layers layers,
                                                 bool disableInterpolation) {
  ComposedImage* image = composedImage();
  if (!image) return;
  QList<Layer*> drawn = image->layersArray();
  const qsizetype painted = indexOfPaintedLayer(drawn);
  // Index 0 is the top layer. Without a painted layer everything is drawn
  // from it up, so the two parts together still make the whole.
  if (layers == Layers::BelowPainted)
    drawn = painted < 0 ? QList<Layer*>() : drawn.mid(painted + 1);
  else if (layers == Layers::FromPainted && painted >= 0)
    drawn = drawn.mid(0, painted + 1);
  // As a full redraw, it never waits for a layer still decoding.
  DrawingAsLayersArrive asTheyArrive;
  image->compositeImageInRect(rect, false, drawn, disableInterpolation);
}
