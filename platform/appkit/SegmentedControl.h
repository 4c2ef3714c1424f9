// A row of segments, each a checkable button with a label or an image,
// selected one at a time, any number at a time, or only while pressed.
// A click sends the control's action (to its target or along the responder
// chain) after the selection changed.
#pragma once

#include <QButtonGroup>
#include <QIcon>
#include <QMenu>
#include <QWidget>
#include <memory>

namespace fnd {
class Observable;
}

namespace ui {

class Binding;
class Responder;

enum SegmentSwitchTracking {
  SegmentSwitchTrackingSelectOne = 0,
  SegmentSwitchTrackingSelectAny = 1,
  SegmentSwitchTrackingMomentary = 2,
};

class SegmentedControl : public QWidget {
 public:
  explicit SegmentedControl(QWidget* parent = nullptr);
  ~SegmentedControl() override;

  int segmentCount() const { return int(group_.buttons().size()); }
  void setSegmentCount(int count);
  void setLabel(const QString& label, int segment);
  QString labelForSegment(int segment) const;
  void setImage(const QIcon& image, int segment);
  QIcon imageForSegment(int segment) const;
  void setToolTip(const QString& toolTip, int segment);
  QString toolTipForSegment(int segment) const;
  // The size every segment draws its image at, in points.
  void setImageSize(const QSize& size);
  // Points; 0 lets the segment take its natural width.
  void setWidth(double width, int segment);
  double widthForSegment(int segment) const;
  // A menu the segment opens when held; null removes it. Not owned.
  void setMenu(QMenu* menu, int segment);
  QMenu* menuForSegment(int segment) const;
  void setEnabled(bool enabled, int segment);
  bool isEnabledForSegment(int segment) const;

  SegmentSwitchTracking trackingMode() const { return tracking_; }
  void setTrackingMode(SegmentSwitchTracking mode);
  // The segment selected last (by a click or in code), −1 when none is.
  int selectedSegment() const;
  void setSelectedSegment(int segment);
  bool isSelectedForSegment(int segment) const;
  void setSelected(bool selected, int segment);

  void setTarget(Responder* target) { target_ = target; }
  void setAction(const QString& action) { action_ = action; }
  QString action() const { return action_; }
  // What a click on `segment` does; also how tests click.
  void performClick(int segment);

  // The selected segment follows `keyPath` of `controller` (an integer), and
  // a click asks the controller to take the clicked index. A controller that
  // refuses it keeps its value, and the control shows that value again.
  void bindSelectedIndex(fnd::Observable* controller, const QString& keyPath);
  void unbindSelectedIndex();
  bool isSelectedIndexBound() const { return selectedIndexBinding_ != nullptr; }

 private:
  QAbstractButton* button(int segment) const { return group_.button(segment); }
  void clicked(int segment);

  QButtonGroup group_;
  SegmentSwitchTracking tracking_ = SegmentSwitchTrackingSelectOne;
  int lastSelected_ = -1;
  Responder* target_ = nullptr;
  QString action_;
  std::unique_ptr<Binding> selectedIndexBinding_;
};

}  // namespace ui
