#include "ListPanelDocument.h"

#include <gtest/gtest.h>

#include "appkit/Event.h"
#include "foundation/UndoManager.h"
#include "model/IMManagedObject.h"
#include "model/Layer.h"

ListPanelDocument::ListPanelDocument(const QStringList& layerNames) {
  coordinator =
      std::make_unique<cd::PersistentStoreCoordinator>(IMManagedObject::managedObjectModel());
  fnd::Error error;
  EXPECT_TRUE(coordinator->addPersistentStoreWithType(cd::InMemoryStoreType, {}, {}, {}, &error));
  queue = std::make_unique<fnd::OperationQueue>();
  context = std::make_unique<IMAManagedObjectContext>();
  context->setPersistentStoreCoordinator(coordinator.get());
  context->setLoadingAndSavingOperationQueue(queue.get());
  context->undoManager()->setGroupsByEvent(false);
  composedImage = context->insertNewObject<ComposedImage>("ComposedImage");
  for (const QString& name : layerNames) {
    Layer* layer = Layer::createLayerWithComposedImage(composedImage, context.get(), false);
    layer->setName(name);
  }
  cd::ObjectList layers;
  for (const QString& name : layerNames) {
    for (cd::ManagedObject* layer : composedImage->relatedObjects("layers"))
      if (layer->valueForKey("name") == name) layers.append(layer);
  }
  composedImage->setValue(QVariant::fromValue(layers), "layers");
  context->processPendingChanges();
  EXPECT_TRUE(context->save(&error)) << error.localizedDescription().toStdString();
  context->undoManager()->removeAllActions();
}

ListPanelDocument::~ListPanelDocument() {
  queue->waitUntilAllOperationsAreFinished();
  context->setLoadingAndSavingOperationQueue(nullptr);
  context.reset();
}

QStringList ListPanelDocument::layerNames() const {
  return namesOf(composedImage->relatedObjects("layers"));
}

QStringList namesOf(const cd::ObjectList& objects) {
  QStringList names;
  for (cd::ManagedObject* object : objects) names.append(object->valueForKey("name").toString());
  return names;
}

void RecordingWindow::Canvas::keyDown(ui::Event& event) {
  log.append("keyDown " + event.charactersIgnoringModifiers());
}

void RecordingWindow::Canvas::flagsChanged(ui::Event&) { log.append("flagsChanged"); }
