#include <gtest/gtest.h>

#include "foundation/KeyedUnarchiver.h"
#include "foundation/ValueTransformer.h"

namespace {

std::shared_ptr<fnd::ValueTransformer> named(const char* name) {
  return fnd::ValueTransformer::valueTransformerForName(name);
}

}  // namespace

TEST(StandardValueTransformers, RegisteredUnderTheirPlatformNames) {
  int object = 0;
  struct Case {
    QVariant value;
    bool isNil;
  };
  const Case table[] = {
      {QVariant(), true},
      {QVariant::fromValue<int*>(nullptr), true},
      {QVariant::fromValue(&object), false},
      {QString("x"), false},
      {0, false},
  };
  for (const Case& row : table) {
    EXPECT_EQ(named("NSIsNil")->transformedValue(row.value).toBool(), row.isNil);
    EXPECT_EQ(named("NSIsNotNil")->transformedValue(row.value).toBool(), !row.isNil);
  }
  EXPECT_EQ(named("NSNegateBoolean")->transformedValue(true), false);
  EXPECT_EQ(named("NSNegateBoolean")->reverseTransformedValue(false), true);

  // Archived data both ways, as user defaults keep archived values.
  auto archive = named("NSKeyedUnarchiveFromData");
  ASSERT_TRUE(archive->allowsReverseTransformation());
  const QVariantMap value{{"size", 40}, {"name", "Lucida Grande"}};
  const QByteArray data = archive->reverseTransformedValue(value).toByteArray();
  EXPECT_TRUE(data.startsWith("bplist00"));
  EXPECT_EQ(fnd::KeyedUnarchiver::unarchiveObjectWithData(data), QVariant(value));
  EXPECT_EQ(archive->transformedValue(data), QVariant(value));
  EXPECT_FALSE(archive->transformedValue(QByteArray("not an archive")).isValid());
  EXPECT_FALSE(archive->transformedValue(42).isValid());
}
