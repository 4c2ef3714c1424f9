// The content of the resize popover: the canvas-size group and the scaling
// group, each chosen by its radio button, and the Cancel and Apply buttons.
// The fields show the window controller's values and hand typed ones back
// to it; a value it refuses is put back in the field.
#pragma once

#include <QWidget>

class IMWindowController;
class QGroupBox;
class QLineEdit;
class QRadioButton;

class IMResizeImageSettings : public QWidget {
 public:
  explicit IMResizeImageSettings(IMWindowController* owner);

  QGroupBox* canvasResizeBox() const { return canvasBox_; }
  QGroupBox* resizeBox() const { return resizeBox_; }
  QRadioButton* canvasRadioButton() const { return canvasRadio_; }
  QRadioButton* resizeRadioButton() const { return resizeRadio_; }
  QLineEdit* canvasWidthField() const { return canvasWidth_; }
  QLineEdit* canvasHeightField() const { return canvasHeight_; }
  // Pixel sizes through the "ImageResizeWidthTransformer" and
  // "ImageResizeHeightTransformer" transformers.
  QLineEdit* resizeWidthField() const { return resizeWidth_; }
  QLineEdit* resizeHeightField() const { return resizeHeight_; }
  // The factor itself, in percent.
  QLineEdit* resizePercentField() const { return resizePercent_; }

  // Shows the controller's values in every field.
  void showValues();

 private:
  QLineEdit* makeField(QWidget* box);
  // Reads a typed number; false for text that is not one.
  static bool readNumber(QLineEdit* field, double* value);
  void commit(QLineEdit* field);

  IMWindowController* owner_;
  QGroupBox* canvasBox_ = nullptr;
  QGroupBox* resizeBox_ = nullptr;
  QRadioButton* canvasRadio_ = nullptr;
  QRadioButton* resizeRadio_ = nullptr;
  QLineEdit* canvasWidth_ = nullptr;
  QLineEdit* canvasHeight_ = nullptr;
  QLineEdit* resizeWidth_ = nullptr;
  QLineEdit* resizeHeight_ = nullptr;
  QLineEdit* resizePercent_ = nullptr;
};
