// A three-layer document for canvas tests, over an in-memory store, with a
// small delegate that draws it and sizes the canvas through the model, as
// the document window does.
#pragma once

#include <QImage>
#include <memory>

#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/IMAManagedObjectContext.h"
#include "window/IMViewDrawingDelegate.h"
#include "window/IMViewSizeDelegate.h"

class ComposedImage;

struct CanvasTestDocument : IMViewDrawingDelegate, IMViewSizeDelegate {
  static constexpr int kWidth = 200, kHeight = 160;

  CanvasTestDocument();
  ~CanvasTestDocument() override;

  void viewDrawingRect(const QRectF& rect, bool forceCleanDrawing,
                       bool disableInterpolation) override;
  QRectF contentOriginalRectForView() override;
  double zoom() override { return zoomFactor; }

  // The model's own flattening over the canvas background (white and the
  // grid), one pixel per document point, top row first.
  QImage flattenedOverGrid();
  // The model's flattening alone, with its alpha.
  QImage flattened();

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
  ComposedImage* composedImage = nullptr;
  double zoomFactor = 1;
};
