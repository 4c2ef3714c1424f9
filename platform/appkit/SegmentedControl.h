// A row of segments, each a checkable button with a label or an image,
// selected one at a time, any number at a time, or only while pressed.
// A click sends the control's action (to its target or along the responder
// chain) after the selection changed.
#pragma once

#include <QButtonGroup>
#include <QIcon>
#include <QWidget>

namespace ui {

class Responder;

enum SegmentSwitchTracking {
  SegmentSwitchTrackingSelectOne = 0,
  SegmentSwitchTrackingSelectAny = 1,
  SegmentSwitchTrackingMomentary = 2,
};

class SegmentedControl : public QWidget {
 public:
  explicit SegmentedControl(QWidget* parent = nullptr);

  int segmentCount() const { return int(group_.buttons().size()); }
  void setSegmentCount(int count);
  void setLabel(const QString& label, int segment);
  QString labelForSegment(int segment) const;
  void setImage(const QIcon& image, int segment);
  void setToolTip(const QString& toolTip, int segment);
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

 private:
  QAbstractButton* button(int segment) const { return group_.button(segment); }
  void clicked(int segment);

  QButtonGroup group_;
  SegmentSwitchTracking tracking_ = SegmentSwitchTrackingSelectOne;
  int lastSelected_ = -1;
  Responder* target_ = nullptr;
  QString action_;
};

}  // namespace ui
