#pragma once

#include <QStringList>
#include <memory>

#include "tools/IMTool.h"

// A tool whose chooser image shows its current mode, with a small triangle
// for the menu of modes on its segment (the shape and gradient tools).
class IMModeTool : public IMTool {
 public:
  IMModeTool(IMToolsController* toolsController, QStringList modeImageNames);
  ~IMModeTool() override;

  quint64 mode() const { return mode_; }
  // A mode outside the table is kept but shows no image.
  void setMode(quint64 mode);
  gfx::ImagePtr logoForMode(quint64 mode) const;
  gfx::ImagePtr logo() const override;
  QMenu* menuForToolBar() override;

 private:
  QStringList modeImageNames_;
  quint64 mode_ = 0;
  std::unique_ptr<QMenu> menu_;
};
