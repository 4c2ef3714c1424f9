// Which thread is the main one: the thread of the application's event loop,
// which owns the documents and the interface.
#pragma once

namespace fnd {

// False before the application object exists: nothing is the main thread yet.
bool isMainThread();

}  // namespace fnd
