#pragma once

// What a document asks of its window controllers around a revert, whose
// read replaces every object of the document: to let go of the objects
// before the read, and to take up the document's objects after it (the new
// ones, or the old ones again when the read failed). Window controllers
// that do not implement it hold none of the document's objects.
class IMRevertingWindow {
 public:
  virtual ~IMRevertingWindow() = default;
  virtual void documentWillRevert() = 0;
  virtual void documentDidRevert() = 0;
};
