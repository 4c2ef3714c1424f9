// Follows the window manager's placement of a window just shown, so that
// the window's first fit holds for the frame the manager gives it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <functional>

class QWidget;
class QWindow;

class FirstFitWatch : public QObject {
 public:
  // Watches `window` (which owns the watch) after a fit that left it at
  // zoom `zoom()`: while the window manager is still placing and sizing
  // the window, a change of its frame calls `refit`. The watch ends for
  // good as soon as the zoom differs from the fitted one, the window is
  // resized by anyone but the manager, or the placement has settled.
  FirstFitWatch(QWidget* window, std::function<double()> zoom, std::function<void()> refit);

  // How long the manager's answers are awaited after the window is on
  // screen and after each answer: far shorter than a person takes to
  // resize a window just opened. Tests on a loaded machine lengthen it.
  static inline int settleMilliseconds = 1000;
  // A manager that keeps answering with another frame is not followed
  // for ever.
  static constexpr int kMostRefits = 3;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void remember();
  void checkFrame();
  void settleSoon();
  void stop();

  QPointer<QWidget> window_;
  QPointer<QWindow> handle_;
  std::function<double()> zoom_;
  std::function<void()> refit_;
  QRect fittedFrame_;
  double fittedZoom_ = 0;
  int refits_ = 0;
  bool refitting_ = false;
  bool checkQueued_ = false;
  QTimer settle_;
};
