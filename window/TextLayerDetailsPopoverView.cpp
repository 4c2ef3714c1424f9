#include "window/TextLayerDetailsPopoverView.h"

#include <QAction>
#include <QFontComboBox>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include "appkit/ModalServices.h"
#include "appkit/Popover.h"
#include "appkit/PopoverNib.h"
#include "coredata/ManagedObjectContext.h"
#include "foundation/Localized.h"
#include "foundation/UndoManager.h"
#include "model/TextLayer.h"
#include "window/AttributedTextDocument.h"
#include "window/IMLayersArrayController.h"

namespace {

constexpr int kSpacing = 4;
constexpr int kInitialWidth = 320;
constexpr int kInitialTextHeight = 90;

}  // namespace

TextLayerDetailsPopoverView::TextLayerDetailsPopoverView(TextLayer* layer, QWidget* parent)
    : QWidget(parent), layer_(layer), text_(new QTextEdit), inspector_(new QToolBar) {
  text_->setObjectName(QStringLiteral("textView"));
  text_->setFrameShape(QFrame::NoFrame);
  text_->setAcceptRichText(false);
  text_->setMinimumSize(kInitialWidth, kInitialTextHeight);
  showingLayerText_ = true;
  AttributedTextDocument::fill(text_->document(), layer_->attributedString());
  showingLayerText_ = false;
  // The bar starts with the style of the end of the text.
  text_->moveCursor(QTextCursor::End);
  buildInspector();
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(kSpacing);
  column->addWidget(inspector_);
  column->addWidget(text_, 1);
  connect(text_, &QTextEdit::textChanged, this, &TextLayerDetailsPopoverView::textChanged);
}

QWidget* TextLayerDetailsPopoverView::textScrollView() const { return text_; }

double TextLayerDetailsPopoverView::topVerticalSpace() const {
  return inspector_->sizeHint().height() + kSpacing;
}

// Font, size, bold, italic, underline and colour, for the selected text or,
// without a selection, for what is typed next.
void TextLayerDetailsPopoverView::buildInspector() {
  inspector_->setObjectName(QStringLiteral("inspectorView"));
  inspector_->setIconSize(QSize(16, 16));
  auto* family = new QFontComboBox;
  family->setMaximumWidth(150);
  family->setCurrentFont(text_->currentFont());
  connect(family, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
    applyToSelection([&](QTextCharFormat& f) { f.setFontFamilies(QStringList{font.family()}); });
  });
  inspector_->addWidget(family);
  auto* size = new QSpinBox;
  size->setRange(1, 999);
  size->setValue(int(text_->currentCharFormat().fontPointSize()));
  connect(size, &QSpinBox::valueChanged, this, [this](int points) {
    applyToSelection([&](QTextCharFormat& f) { f.setFontPointSize(points); });
  });
  inspector_->addWidget(size);
  auto toggle = [this](const QString& label, auto change) {
    QAction* action = inspector_->addAction(label);
    action->setCheckable(true);
    connect(action, &QAction::toggled, this, [this, change](bool on) {
      applyToSelection([&](QTextCharFormat& f) { change(f, on); });
    });
  };
  toggle(fnd::localized("B"),
         [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); });
  toggle(fnd::localized("I"), [](QTextCharFormat& f, bool on) { f.setFontItalic(on); });
  toggle(fnd::localized("U"), [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); });
  connect(inspector_->addAction(fnd::localized("Colour")), &QAction::triggered, this,
          &TextLayerDetailsPopoverView::chooseColor);
}

void TextLayerDetailsPopoverView::applyToSelection(
    const std::function<void(QTextCharFormat&)>& change) {
  QTextCharFormat format;
  change(format);
  text_->mergeCurrentCharFormat(format);
}

void TextLayerDetailsPopoverView::chooseColor() {
  ui::ColorPanelRequest request;
  request.color = text_->currentCharFormat().foreground().color();
  request.title = fnd::localized("Text Colour");
  request.colorChanged = [this](const QColor& color) {
    applyToSelection([&](QTextCharFormat& f) { f.setForeground(color); });
  };
  ui::ModalServices::shared().orderFrontColorPanel(request);
}

// Only a real change reaches the layer: each one is an undoable step and a
// new drawing of the text.
void TextLayerDetailsPopoverView::textChanged() {
  if (showingLayerText_) return;
  const gfx::AttributedString edited = AttributedTextDocument::attributedString(*text_->document());
  if (edited == layer_->attributedString()) return;
  layer_->setAttributedString(edited);
  cd::ManagedObjectContext* context = layer_->managedObjectContext();
  if (fnd::UndoManager* undo = context ? context->undoManager() : nullptr)
    undo->setActionName(fnd::localized("Edit Text"));
}

void TextLayerDetailsPopoverView::registerNib() {
  ui::PopoverNib::registerNib(kNibName, [](void* owner) -> ui::Popover* {
    auto* list =
        dynamic_cast<IMLayersArrayController*>(static_cast<IMGenericArrayController*>(owner));
    auto* layer = dynamic_cast<TextLayer*>(list ? list->objectForPopover() : nullptr);
    if (!layer) return nullptr;
    auto* view = new TextLayerDetailsPopoverView(layer);
    list->connectTextPopover(view);
    return new ui::Popover(view);
  });
}
