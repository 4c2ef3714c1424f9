#pragma once

#include <QWidget>

class Layer;
class QCheckBox;
class QSlider;
class QSpinBox;

// The layers panel's detail popover: the layer's visibility and opacity,
// edited in place (each change, or each drag of the opacity slider, one
// undoable step of the document). The opacity reads and types as a
// percentage beside its slider.
class LayerDetailsPopoverView : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kNibName = "LayerDetailsPopoverView";

  explicit LayerDetailsPopoverView(Layer* layer, QWidget* parent = nullptr);
  ~LayerDetailsPopoverView() override;

  // Makes the popover known by its name to the list panels.
  static void registerNib();

  QCheckBox* visibleBox() const { return visible_; }
  QSlider* opacitySlider() const { return opacity_; }
  QSpinBox* opacityField() const { return opacityField_; }

 private:
  // A drag of the slider is one step, from press to release.
  void beginSliderStep();
  void endSliderStep();

  Layer* layer_;
  bool sliderStepOpen_ = false;
  QCheckBox* visible_;
  QSlider* opacity_;
  QSpinBox* opacityField_;
};
