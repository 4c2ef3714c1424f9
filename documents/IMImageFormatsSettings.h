#pragma once

#include <QWidget>

class IMDocument;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSlider;
class QStackedWidget;

// The export panel's accessory view: the type pop-up over saveTypes, one
// page of options per type (none, quality, TIFF compression), the keep-alpha
// checkbox and the estimated size with its progress bar. Every control
// follows its document key by observation and writes back through the
// document's setters, so the document alone holds the state.
class IMImageFormatsSettings : public QWidget {
  Q_OBJECT

 public:
  // Observes `document`, which must outlive the view (it owns it).
  explicit IMImageFormatsSettings(IMDocument* document, QWidget* parent = nullptr);
  ~IMImageFormatsSettings() override;

  QComboBox* typePopUp() const { return types_; }
  QSlider* qualitySlider() const { return quality_; }
  QComboBox* compressionPopUp() const { return compression_; }
  QCheckBox* keepAlphaCheckBox() const { return keepAlpha_; }
  QLabel* sizeText() const { return size_; }
  QProgressBar* sizeProgress() const { return progress_; }
  QStackedWidget* tabs() const { return tabs_; }

 private:
  void build();
  void bind();
  void followInPanel(const QString& type);
  void observe(const QString& key, std::function<void(const QVariant&)> apply);

  IMDocument* document_;
  QComboBox* types_ = nullptr;
  QStackedWidget* tabs_ = nullptr;
  QSlider* quality_ = nullptr;
  QComboBox* compression_ = nullptr;
  QCheckBox* keepAlpha_ = nullptr;
  QLabel* size_ = nullptr;
  QProgressBar* progress_ = nullptr;
};
