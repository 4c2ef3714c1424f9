#include <gtest/gtest.h>

#include "plugin/FactoryInstances.h"
#include "plugin/PlugIn.h"
#include "plugin/UUID.h"
#include "quicklook/QuickLookGeneratorPlugin.h"

namespace {

const plugin::UUID kFactory = plugin::UUID::fromString(PLUGIN_ID);
const plugin::UUID kGeneratorType = plugin::UUID::fromString(kQLGeneratorTypeID);
const plugin::UUID kCallbacks = plugin::UUID::fromString(kQLGeneratorCallbacksInterfaceID);

QLGeneratorInterfaceStruct* tableOf(void* instance) {
  return *static_cast<QLGeneratorInterfaceStruct**>(instance);
}

}  // namespace

// The factory makes generators only; an instance answers the generator
// callbacks only, filling its table's last four slots when asked; every
// reference added is released, and the last release frees the instance
// and unregisters it from its factory.
TEST(GeneratorPluginTest, FactoryInterfaceTableAndReferenceCounting) {
  const plugin::UUID otherType = plugin::UUID::fromString("00000000-1111-2222-3333-444444444444");
  EXPECT_EQ(QuickLookGeneratorPluginFactory(nullptr, otherType.bytes()), nullptr);
  EXPECT_EQ(QuickLookGeneratorPluginFactory(nullptr, kCallbacks.bytes()), nullptr);
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 0);

  void* instance = QuickLookGeneratorPluginFactory(nullptr, kGeneratorType.bytes());
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 1);
  QLGeneratorInterfaceStruct* table = tableOf(instance);
  EXPECT_EQ(table->_reserved, nullptr);
  EXPECT_EQ(table->GenerateThumbnailForURL, nullptr);
  EXPECT_EQ(table->GeneratePreviewForURL, nullptr);

  for (const plugin::UUID& other : {otherType, kGeneratorType, kFactory}) {
    void* answer = &table;  // anything but null, to see it cleared
    EXPECT_EQ(table->QueryInterface(instance, other.bytes(), &answer), E_NOINTERFACE);
    EXPECT_EQ(answer, nullptr);
  }
  EXPECT_EQ(table->GenerateThumbnailForURL, nullptr);
  // Still one reference: the refused queries added none.
  EXPECT_EQ(table->AddRef(instance), 2u);

  void* generator = nullptr;
  EXPECT_EQ(table->QueryInterface(instance, kCallbacks.bytes(), &generator), S_OK);
  EXPECT_EQ(generator, instance);
  EXPECT_EQ(table->GenerateThumbnailForURL, &GenerateThumbnailForURL);
  EXPECT_EQ(table->CancelThumbnailGeneration, &CancelThumbnailGeneration);
  EXPECT_EQ(table->GeneratePreviewForURL, &GeneratePreviewForURL);
  EXPECT_EQ(table->CancelPreviewGeneration, &CancelPreviewGeneration);

  // Each instance has a table of its own.
  void* second = QuickLookGeneratorPluginFactory(nullptr, kGeneratorType.bytes());
  EXPECT_NE(tableOf(second), table);
  EXPECT_EQ(tableOf(second)->GeneratePreviewForURL, nullptr);
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 2);
  EXPECT_EQ(tableOf(second)->Release(second), 0u);

  EXPECT_EQ(table->Release(instance), 2u);
  EXPECT_EQ(table->Release(instance), 1u);
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 1);
  EXPECT_EQ(table->Release(instance), 0u);
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 0);
}

// The built library, loaded as the thumbnailer loads it: its description
// names the factory for the generator type, and the factory behind the
// exported name makes generators and nothing else.
TEST(GeneratorPluginTest, LibraryLoadsThroughItsDescription) {
  fnd::Error error;
  auto plugIn = plugin::PlugIn::createWithDescription(TESSALY_PLUGIN_DESCRIPTION, &error);
  ASSERT_TRUE(plugIn) << error.localizedDescription().toStdString();
  ASSERT_EQ(plugIn->factoriesForPlugInType(kGeneratorType), QList<plugin::UUID>{kFactory});
  EXPECT_TRUE(plugIn->factoriesForPlugInType(kCallbacks).isEmpty());
  EXPECT_EQ(plugIn->instanceCreate(kFactory, kCallbacks), nullptr);

  void* instance = plugIn->instanceCreate(kFactory, kGeneratorType);
  ASSERT_NE(instance, nullptr);
  // The library's own code, not this program's copy, answers.
  QLGeneratorInterfaceStruct* table = tableOf(instance);
  EXPECT_NE(table->QueryInterface, &QuickLookGeneratorQueryInterface);
  void* generator = nullptr;
  EXPECT_EQ(table->QueryInterface(instance, kCallbacks.bytes(), &generator), S_OK);
  EXPECT_NE(table->GenerateThumbnailForURL, nullptr);
  // Its instances are counted by its own copy of the plug-in layer.
  EXPECT_EQ(plugin::FactoryInstances::instanceCountForFactory(kFactory), 0);
  EXPECT_EQ(table->Release(instance), 1u);
  EXPECT_EQ(table->Release(instance), 0u);
}

// UUIDs read from their text and back; malformed texts give the null UUID.
TEST(GeneratorPluginTest, UUIDText) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {PLUGIN_ID, true},
      {"0e917172-60c7-4642-8eae-e2c1507593ae", true},
      {"0E917172-60C7-4642-8EAE-E2C1507593A", false},
      {"0E917172-60C7-4642-8EAEE-2C1507593AE", false},
      {"0E917172-60C7-4642-8EAE-E2C1507593AG", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const plugin::UUID uuid = plugin::UUID::fromString(c.text);
    EXPECT_EQ(!uuid.isNull(), c.valid);
    if (c.valid) {
      EXPECT_EQ(uuid.toString(), QString(c.text).toUpper());
    }
  }
  EXPECT_EQ(kFactory.bytes().byte[0], 0x0E);
  EXPECT_EQ(kFactory.bytes().byte[15], 0xAE);
}
