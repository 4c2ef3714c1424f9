// A document for the list panel tests: a composed image whose layers are
// named, in an in-memory store, with an undo manager that groups only
// explicitly; and a recording stand-in for the document window.
#pragma once

#include <QStringList>
#include <memory>

#include "appkit/Responder.h"
#include "coredata/PersistentStoreCoordinator.h"
#include "foundation/OperationQueue.h"
#include "model/ComposedImage.h"
#include "model/IMAManagedObjectContext.h"
#include "window/IMListPanelWindow.h"

struct ListPanelDocument {
  // Layers from top (index 0) to bottom.
  explicit ListPanelDocument(const QStringList& layerNames);
  ~ListPanelDocument();

  QStringList layerNames() const;

  std::unique_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::unique_ptr<fnd::OperationQueue> queue;
  std::unique_ptr<IMAManagedObjectContext> context;
  ComposedImage* composedImage = nullptr;
};

QStringList namesOf(const cd::ObjectList& objects);

// Records what the lists ask of the window; the canvas logs the keys it gets.
class RecordingWindow : public IMListPanelWindow {
 public:
  class Canvas : public ui::Responder {
   public:
    void keyDown(ui::Event& event) override;
    void flagsChanged(ui::Event& event) override;
    QStringList log;
  };

  ui::Responder* mainView() override { return &canvas; }
  void resetCursorRectsOfMainView() override { ++cursorResets; }
  bool toolsHaveSelection() override { return hasSelection; }
  void updateEnablingOfTools() override { ++toolUpdates; }

  Canvas canvas;
  int cursorResets = 0;
  int toolUpdates = 0;
  bool hasSelection = false;
};
