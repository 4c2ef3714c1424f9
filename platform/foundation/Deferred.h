// Work deferred to later passes of the main loop: after a delay, or on the
// next pass. Backed by QTimer and posted calls on the Qt event loop; safe to
// call from any thread.
#pragma once

#include <functional>

namespace fnd {

class OperationQueue;

// Runs `block` on `queue` (the main queue when null; any other queue must
// still exist then) once `seconds` have passed, counted on the main loop.
void performAfterDelay(double seconds, std::function<void()> block,
                       OperationQueue* queue = nullptr);

// Runs `block` on the main thread in the next pass of its event loop.
void performOnNextLoop(std::function<void()> block);

}  // namespace fnd
