#pragma once

#include <functional>

// What the document controller needs of a document's window controller to
// paste into a new document: whether the layers panel shows the document
// yet, and a way to run the paste once it does. Window controllers that do
// not implement it take the paste at once.
class IMPasteDestination {
 public:
  virtual ~IMPasteDestination() = default;
  virtual bool isLayersPanelLoaded() const = 0;
  // Runs `callback` once, when the layers panel first shows a document.
  virtual void setLayersPanelLoadedCallback(std::function<void()> callback) = 0;
};
