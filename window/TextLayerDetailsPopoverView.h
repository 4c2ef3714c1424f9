#pragma once

#include <QWidget>

class QTextEdit;
class QToolBar;
class TextLayer;

// The layers panel's popover for a text layer: its text, edited with fonts,
// sizes, weights and colours, under a bar of those attributes. Each edit
// becomes the layer's text at once, one undoable change of the document, and
// the canvas redraws it as the layer tells its window.
class TextLayerDetailsPopoverView : public QWidget {
  Q_OBJECT
 public:
  static constexpr const char* kNibName = "TextLayerDetailsPopoverView";

  explicit TextLayerDetailsPopoverView(TextLayer* layer, QWidget* parent = nullptr);

  // Makes the popover known by its name to the layers panel, whose
  // controller becomes its owner: it gets the outlets and hears the edits.
  static void registerNib();

  QTextEdit* textView() const { return text_; }
  // The editor scrolls its own text: it is its own scroll view.
  QWidget* textScrollView() const;
  QToolBar* inspectorView() const { return inspector_; }
  // The room above the text, where the attributes bar sits.
  double topVerticalSpace() const;

 private:
  void buildInspector();
  void applyToSelection(const std::function<void(class QTextCharFormat&)>& change);
  void chooseColor();
  void textChanged();

  TextLayer* layer_;
  QTextEdit* text_;
  QToolBar* inspector_;
  bool showingLayerText_ = false;
};
