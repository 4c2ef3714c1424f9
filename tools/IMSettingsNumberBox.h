#pragma once

#include <QWidget>
#include <functional>

class QDoubleSpinBox;

// A titled number field of the tool settings strip (the brush size, the
// corner radius); each value the user sets is reported.
class IMSettingsNumberBox : public QWidget {
 public:
  IMSettingsNumberBox(const QString& title, double minimum, double maximum,
                      QWidget* parent = nullptr);

  double value() const;
  // Shows `value` without reporting it.
  void setValue(double value);
  void setValueChangedHandler(std::function<void(double)> handler) {
    changed_ = std::move(handler);
  }
  QDoubleSpinBox* field() const { return field_; }

 private:
  QDoubleSpinBox* field_;
  std::function<void(double)> changed_;
  bool showing_ = false;
};
