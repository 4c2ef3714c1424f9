#pragma once

#include <QList>

class Layer;
class QWidget;

// What the filters and parameters lists need of their document window
// beyond a list panel's needs: the layer whose filters they show, the
// window the filter browser opens on, and the canvas's filter point handle.
class IMFiltersPanelWindow {
 public:
  virtual ~IMFiltersPanelWindow() = default;
  virtual QList<Layer*> selectedLayers() const = 0;
  // Null: the browser opens as a window of its own.
  virtual QWidget* sheetWindow() { return nullptr; }
};
