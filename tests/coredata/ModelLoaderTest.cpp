#include <gtest/gtest.h>

#include "CoreDataFixture.h"
#include "coredata/ModelLoader.h"

using cdtest::documentModel;

namespace {

QStringList propertyNames(const cd::EntityDescription* entity) {
  QStringList names;
  for (cd::PropertyDescription* property : entity->properties()) names.append(property->name());
  return names;
}

}  // namespace

TEST(ModelLoader, MergesTheFilesOfAFolderIntoOneModel) {
  cd::ManagedObjectModelPtr model = documentModel();
  ASSERT_TRUE(model);
  EXPECT_EQ(model->entities().size(), 9);
  EXPECT_EQ(model->versionIdentifiers(), QStringList{"1"});
  // A relationship declared in one file points at an entity of the other.
  cd::RelationshipDescription* image = model->entityNamed("Layer")->relationshipNamed("image");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->destinationEntity(), model->entityNamed("Image"));
  EXPECT_EQ(image->inverseRelationship(), model->entityNamed("Image")->relationshipNamed("layer"));
  EXPECT_EQ(image->deleteRule(), cd::DeleteRule::Cascade);
}

TEST(ModelLoader, KeepsDeclarationOrderWithInheritedPropertiesFirst) {
  cd::EntityDescription* text = documentModel()->entityNamed("TextLayer");
  cd::EntityDescription* layer = documentModel()->entityNamed("Layer");
  EXPECT_EQ(text->superentity(), layer);
  EXPECT_EQ(layer->subentities(), (QList<cd::EntityDescription*>{text}));
  EXPECT_EQ(propertyNames(layer), (QStringList{"name", "opacity", "visible", "compositing",
                                               "composedImage", "image", "filters"}));
  EXPECT_EQ(propertyNames(text), propertyNames(layer) + QStringList({"text", "fontSize"}));
  // A property keeps its slot in sub-entities.
  EXPECT_EQ(text->indexOfProperty("filters"), layer->indexOfProperty("filters"));
  EXPECT_EQ(text->managedObjectClassName(), "TextLayer");

  struct Expected {
    const char* entity;
    const char* property;
    bool toMany;
    bool ordered;
  };
  const Expected table[] = {{"ComposedImage", "layers", true, true},
                            {"Layer", "filters", true, false},
                            {"Layer", "composedImage", false, false},
                            {"Filter", "parameters", true, true}};
  for (const Expected& row : table) {
    cd::PropertyDescription* property =
        documentModel()->entityNamed(row.entity)->propertyNamed(row.property);
    ASSERT_TRUE(property) << row.property;
    EXPECT_EQ(property->isToMany(), row.toMany) << row.property;
    EXPECT_EQ(property->isOrdered(), row.ordered) << row.property;
  }
}

TEST(ModelLoader, ReadsAttributeTypesAndDefaults) {
  cd::EntityDescription* layer = documentModel()->entityNamed("Layer");
  struct Expected {
    const char* name;
    cd::AttributeType type;
    QVariant defaultValue;
  };
  const Expected table[] = {
      {"name", cd::AttributeType::String, QString("untitled layer")},
      {"opacity", cd::AttributeType::Float, 1.0f},
      {"visible", cd::AttributeType::Boolean, true},
      {"compositing", cd::AttributeType::Integer16, 2},
  };
  for (const Expected& row : table) {
    cd::AttributeDescription* attribute = layer->attributeNamed(row.name);
    ASSERT_TRUE(attribute) << row.name;
    EXPECT_EQ(attribute->attributeType(), row.type) << row.name;
    EXPECT_EQ(attribute->defaultValue(), row.defaultValue) << row.name;
    EXPECT_EQ(attribute->defaultValue().metaType(), row.defaultValue.metaType()) << row.name;
  }
  EXPECT_TRUE(documentModel()->entityNamed("Every")->attributeNamed("note")->isTransient());
  EXPECT_FALSE(documentModel()->entityNamed("Filter")->attributeNamed("name")->isOptional());
}

TEST(ModelLoader, VersionHashesFollowTheStoredShapeOnly) {
  cd::ManagedObjectModelPtr v1 = documentModel();
  cd::ManagedObjectModelPtr v2 = cdtest::documentModelV2();
  ASSERT_TRUE(v2);
  // Loading again gives the same hashes: they are derived, not random.
  cd::ManagedObjectModelPtr again =
      cd::ManagedObjectModel::mergedModelFromFolder(":/models/Document");
  EXPECT_EQ(again->entityVersionHashesByName(), v1->entityVersionHashesByName());
  EXPECT_EQ(v1->entityNamed("Layer")->versionHash().size(), 32);
  // Layer.opacity changed type in version 2; the other entities did not.
  EXPECT_NE(v1->entityNamed("Layer")->versionHash(), v2->entityNamed("Layer")->versionHash());
  EXPECT_EQ(v1->entityNamed("Image")->versionHash(), v2->entityNamed("Image")->versionHash());
  EXPECT_EQ(v2->versionIdentifiers(), QStringList{"2"});
}

TEST(ModelLoader, RejectsInvalidModelsWithAReason) {
  struct Case {
    const char* json;
    const char* reason;
  };
  const Case table[] = {
      {"{", "unterminated"},
      {"[]", "not an object"},
      {R"({"entities":[{"properties":[]}]})", "no name"},
      {R"({"entities":[{"name":"A","properties":[{"name":"x","type":"complex"}]}]})",
       "unknown attribute type"},
      {R"({"entities":[{"name":"A","properties":[{"name":"b","destination":"B"}]}]})",
       "unknown entity"},
      {R"({"entities":[{"name":"A","properties":[{"name":"bs","destination":"A","toMany":true}]}]})",
       "to-one inverse"},
      {R"({"entities":[{"name":"A","parent":"B"},{"name":"B","parent":"A"}]})", "inherits"},
      {R"({"entities":[{"name":"A","parent":"Z"}]})", "unknown parent"},
      {R"({"entities":[{"name":"A"},{"name":"A"}]})", "twice"},
      {R"({"entities":[{"name":"A","properties":[
          {"name":"b","destination":"B","inverse":"a"},{"name":"d","destination":"B","inverse":"a"}]},
          {"name":"B","properties":[{"name":"a","destination":"A","inverse":"b"}]}]})",
       "disagree"},
      {R"({"entities":[{"name":"A","properties":[{"name":"b","destination":"A","deleteRule":"explode"}]}]})",
       "delete rule"},
      {R"({"entities":[{"name":"A","properties":[{"name":"x","type":"int16"}]},
          {"name":"B","parent":"A","properties":[{"name":"x","type":"string"}]}]})",
       "declares x twice"},
  };
  for (const Case& row : table) {
    cd::ModelLoader loader;
    fnd::Error error;
    bool added = loader.addJson(row.json, "case.json", &error);
    cd::ManagedObjectModelPtr model = added ? loader.build(&error) : nullptr;
    EXPECT_FALSE(model) << row.json;
    EXPECT_EQ(error.code(), fnd::FileReadCorruptFileError) << row.json;
    EXPECT_TRUE(error.localizedDescription().contains(row.reason))
        << row.json << " -> " << error.localizedDescription().toStdString();
  }
  fnd::Error missing;
  EXPECT_FALSE(cd::ManagedObjectModel::mergedModelFromFolder(":/models/None", &missing));
  EXPECT_EQ(missing.code(), fnd::FileReadNoSuchFileError);
}
