// The model benchmarks' ten layers laid into an open document's composed
// image, for the programs that measure a document window.
#pragma once

#include <QList>

#include "ModelBenchmarkLayers.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/UndoManager.h"
#include "model/ComposedImage.h"
#include "model/Image.h"
#include "model/Layer.h"

namespace bench {

// Mixed compositing operations, opacity 0.5 to 0.95, two rotated layers;
// the making is not left as steps to undo.
inline void layModelLayers(ComposedImage* image, cd::ManagedObjectContext* context) {
  image->setSize(QSizeF(kModelWidth, kModelHeight));
  const int operations[kModelLayers] = {2, 14, 15, 16, 2, 17, 18, 2, 23, 2};
  QList<Layer*> layers = image->layersArray();
  for (int i = 0; i < kModelLayers; ++i) {
    Layer* l =
        i < layers.size() ? layers[i] : Layer::createLayerWithComposedImage(image, context, true);
    l->image()->setNsImage(modelLayerPixels(i));
    l->setCompositingOperation(operations[i]);
    l->setAlpha(0.5 + 0.05 * i);
    if (i == 3) l->setRotationAngle(15);
    if (i == 7) l->setRotationAngle(30);
  }
  context->undoManager()->removeAllActions();
}

}  // namespace bench
