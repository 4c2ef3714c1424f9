#pragma once

#include <QRectF>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "coreimage/Image.h"
#include "coreimage/ImageAccumulator.h"

class Layer;

// One brush stroke, from its preparation at mouse-down to its bake: the
// layer it paints, the accumulator made for it (which its stamps and its
// bake use, whatever the layer holds by then), where it may paint, and,
// when its stamps go through the drawing queue, whether they have all run.
class IMCIToolStroke {
 public:
  Layer* layer = nullptr;
  std::shared_ptr<ci::ImageAccumulator> accumulator;
  QRectF workingRect;
  quint64 compositingOperation = 2;
  // With a selection: its rectangle, and its coverage (null: all of it).
  bool hasSelection = false;
  QRectF selectionRect;
  ci::Image selectionMask;
  bool queued = false;
  bool baked = false;
  // The undo group opened at mouse-down, closed by the bake.
  bool ownsUndoGroup = false;

  // Called by the drawing queue after the stroke's last stamp.
  void markStampsDone() {
    std::lock_guard lock(mutex_);
    stampsDone_ = true;
    done_.notify_all();
  }
  void waitForStamps() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return stampsDone_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool stampsDone_ = false;
};
