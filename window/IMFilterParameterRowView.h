#pragma once

#include <QPointer>
#include <QWidget>

class FilterParameter;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;

// One row of the parameters list, laid out for its parameter's kind (the
// cell identifiers of IMFilterParametersArrayController): a number with a
// slider, a point, a colour, an image, a boolean, or another value shown as
// text. Every edit is one undoable change of the parameter, which the
// filter and the canvas follow at once.
class IMFilterParameterRowView : public QWidget {
  Q_OBJECT
 public:
  IMFilterParameterRowView(const QString& identifier, FilterParameter* parameter,
                           QWidget* parent = nullptr);

  QString identifier() const { return identifier_; }
  // The row's height in the list for a cell identifier.
  static int heightForIdentifier(const QString& identifier);
  // Reads the parameter's value into the controls again.
  void refresh();

  // The controls, for the popover and for tests.
  QSlider* slider() const { return slider_; }
  QDoubleSpinBox* numberField() const { return number_; }
  QDoubleSpinBox* xField() const { return x_; }
  QDoubleSpinBox* yField() const { return y_; }
  QCheckBox* checkBox() const { return check_; }
  QPushButton* colorWell() const { return colorWell_; }
  QPushButton* imageWell() const { return imageWell_; }
  QLabel* valueLabel() const { return value_; }

  // Slider steps between the parameter's minimum and maximum.
  static constexpr int kSliderSteps = 1000;

 private:
  void buildFloat();
  void buildPoint();
  void buildColor();
  void buildImage();
  void buildBool();
  void buildOther();
  void followParameter();
  void setFloat(double value);
  // Records the edit as its own undo step named after the parameter.
  void endEdit();

  QString identifier_;
  FilterParameter* parameter_;
  QSlider* slider_ = nullptr;
  QDoubleSpinBox* number_ = nullptr;
  QDoubleSpinBox* x_ = nullptr;
  QDoubleSpinBox* y_ = nullptr;
  QCheckBox* check_ = nullptr;
  QPushButton* colorWell_ = nullptr;
  QPushButton* imageWell_ = nullptr;
  QLabel* value_ = nullptr;
  double min_ = 0, max_ = 1;
  bool refreshing_ = false;
};
