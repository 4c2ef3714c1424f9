#include "model/DrawingAsLayersArrive.h"

namespace {

// Layers are drawn on the thread that composes the view; a worker drawing
// anything else never sees the view's scope.
thread_local int tDepth = 0;

}  // namespace

DrawingAsLayersArrive::DrawingAsLayersArrive() { ++tDepth; }

DrawingAsLayersArrive::~DrawingAsLayersArrive() { --tDepth; }

bool DrawingAsLayersArrive::isActive() { return tDepth > 0; }
