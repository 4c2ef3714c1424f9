#include <gtest/gtest.h>

#include "CoreDataFixture.h"
#include "coredata/MappingModel.h"
#include "coredata/ModelLoader.h"

namespace {

cd::ManagedObjectModelPtr modelFrom(const char* json) {
  cd::ModelLoader loader;
  fnd::Error error;
  EXPECT_TRUE(loader.addJson(json, "inline.json", &error))
      << error.localizedDescription().toStdString();
  return loader.build(&error);
}

const char* kOld = R"({"versionIdentifier": "1", "entities": [
  {"name": "Picture", "properties": [{"name": "caption", "type": "string"},
                                     {"name": "rating", "type": "int16"}]},
  {"name": "Scrap", "properties": [{"name": "note", "type": "string"}]}]})";

}  // namespace

TEST(MappingModel, InfersTheMappingBetweenTheTwoDocumentVersions) {
  fnd::Error error;
  std::optional<cd::MappingModel> mapping = cd::MappingModel::inferredMappingModel(
      *cdtest::documentModel(), *cdtest::documentModelV2(), &error);
  ASSERT_TRUE(mapping) << error.localizedDescription().toStdString();
  EXPECT_EQ(mapping->entityMappings.size(), 9);
  const cd::EntityMapping* layer = mapping->mappingForDestinationEntity("Layer");
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->kind, cd::EntityMapping::Kind::Transform);  // opacity became a double
  EXPECT_EQ(layer->sourceEntityName, "Layer");
  EXPECT_EQ(layer->attributeMappings.size(), 4);
  EXPECT_EQ(layer->attributeMappings[1].name, "opacity");
  EXPECT_EQ(layer->attributeMappings[1].sourceName, "opacity");
  EXPECT_EQ(layer->relationshipMappings.size(), 3);
  EXPECT_EQ(mapping->mappingForSourceEntity("Image")->kind, cd::EntityMapping::Kind::Copy);
}

TEST(MappingModel, FollowsRenamesAndReportsWhatCannotBeInferred) {
  struct Case {
    const char* what;
    const char* destination;
    int code;           // 0: inferred
    QStringList kinds;  // of the mappings, in order
  };
  const Case table[] = {
      {"renamed entity and attribute, dropped entity",
       R"({"entities": [{"name": "Photo", "renamingIdentifier": "Picture", "properties": [
           {"name": "title", "type": "string", "renamingIdentifier": "caption"},
           {"name": "rating", "type": "double"},
           {"name": "added", "type": "date"}]}]})",
       0,
       {"Transform:Picture>Photo", "Remove:Scrap>"}},
      {"new entity",
       R"({"entities": [{"name": "Picture", "properties": [{"name": "caption", "type": "string"},
           {"name": "rating", "type": "int16"}]}, {"name": "Album"},
           {"name": "Scrap", "properties": [{"name": "note", "type": "string"}]}]})",
       0,
       {"Add:>Album", "Copy:Picture>Picture", "Copy:Scrap>Scrap"}},
      {"type change",
       R"({"entities": [{"name": "Picture", "properties": [
           {"name": "caption", "type": "binary"}]}]})",
       fnd::InferredMappingModelError,
       {}},
      {"new mandatory attribute",
       R"({"entities": [{"name": "Picture", "properties": [
           {"name": "size", "type": "int32", "optional": false}]}]})",
       fnd::InferredMappingModelError,
       {}},
  };
  cd::ManagedObjectModelPtr source = modelFrom(kOld);
  for (const Case& row : table) {
    cd::ManagedObjectModelPtr destination = modelFrom(row.destination);
    ASSERT_TRUE(destination) << row.what;
    fnd::Error error;
    std::optional<cd::MappingModel> mapping =
        cd::MappingModel::inferredMappingModel(*source, *destination, &error);
    EXPECT_EQ(error.code(), row.code) << row.what;
    EXPECT_EQ(mapping.has_value(), row.code == 0) << row.what;
    if (!mapping) continue;
    QStringList kinds;
    const char* names[] = {"Copy", "Transform", "Add", "Remove"};
    for (const cd::EntityMapping& entity : mapping->entityMappings)
      kinds.append(QString(names[int(entity.kind)]) + ":" + entity.sourceEntityName + ">" +
                   entity.destinationEntityName);
    EXPECT_EQ(kinds, row.kinds) << row.what;
  }
  // The renamed attribute keeps its source.
  std::optional<cd::MappingModel> renamed =
      cd::MappingModel::inferredMappingModel(*source, *modelFrom(table[0].destination));
  ASSERT_TRUE(renamed);
  const cd::EntityMapping* photo = renamed->mappingForDestinationEntity("Photo");
  ASSERT_TRUE(photo);
  QStringList sources;
  for (const cd::PropertyMapping& attribute : photo->attributeMappings)
    sources.append(attribute.name + "<" + attribute.sourceName);
  EXPECT_EQ(sources, (QStringList{"title<caption", "rating<rating", "added<"}));
}
