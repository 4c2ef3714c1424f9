#include "tools/IMModeTool.h"

#include "tools/IMToolImages.h"

IMModeTool::IMModeTool(IMToolsController* toolsController, QStringList modeImageNames)
    : IMTool(toolsController), modeImageNames_(std::move(modeImageNames)) {}

IMModeTool::~IMModeTool() = default;

void IMModeTool::setMode(quint64 mode) {
  mode_ = mode;
  updateToolBar();
}

gfx::ImagePtr IMModeTool::logoForMode(quint64 mode) const {
  if (mode >= quint64(modeImageNames_.size())) return nullptr;
  return IMToolImages::imageNamed(modeImageNames_[int(mode)]);
}

gfx::ImagePtr IMModeTool::logo() const { return composeTriangleWithLogo(logoForMode(mode_)); }

// The menu titled "Shapes" with one untitled item per mode, showing its image.
QMenu* IMModeTool::menuForToolBar() {
  menu_ = std::make_unique<QMenu>(QStringLiteral("Shapes"));
  for (int mode = 0; mode < modeImageNames_.size(); ++mode) {
    QAction* item = menu_->addAction(IMToolImages::iconOf(logoForMode(quint64(mode))), QString());
    QObject::connect(item, &QAction::triggered, menu_.get(),
                     [this, mode] { setMode(quint64(mode)); });
  }
  return menu_.get();
}
