#include <gtest/gtest.h>

#include <QPointF>

#include "CoreDataFixture.h"
#include "TestSupport.h"
#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

using cdtest::openStack;
using cdtest::sqlite;

namespace {

// Stands in for the document's archived colours.
class TestColour : public fnd::Coding {
 public:
  TestColour(double r, double g, double b) : r(r), g(g), b(b) {}
  QString archiveClassName() const override { return "TSColour"; }
  void encodeWithCoder(fnd::KeyedArchiver& coder) const override {
    coder.encodeDouble(r, "r");
    coder.encodeDouble(g, "g");
    coder.encodeDouble(b, "b");
  }
  double r, g, b;
};

const bool registered = [] {
  fnd::KeyedUnarchiver::registerClass("TSColour", [](fnd::KeyedUnarchiver& coder) {
    return std::make_shared<TestColour>(coder.decodeDoubleForKey("r"),
                                        coder.decodeDoubleForKey("g"),
                                        coder.decodeDoubleForKey("b"));
  });
  return true;
}();

}  // namespace

TEST(Transformable, ArchivableObjectsAreStoredAsKeyedArchives) {
  QString path = tst::tempPath("transformable.sqlite");
  {
    auto stack = openStack(path);
    cd::ManagedObject* every = stack->insert("Every");
    fnd::CodingPtr colour = std::make_shared<TestColour>(0.25, 0.5, 1.0);
    every->setValue(QVariant::fromValue(colour), "archived");
    ASSERT_TRUE(stack->context->save());
  }
  tst::saveArtifact(path, "coredata-transformable.sqlite");
  QString hex = sqlite(path, "SELECT hex(ZARCHIVED) FROM ZEVERY");
  QString output;
  EXPECT_EQ(tst::runTool("python3",
                         {"-c",
                          "import plistlib,sys\n"
                          "d = plistlib.loads(bytes.fromhex(sys.argv[1]))\n"
                          "names = [o.get('$classname') for o in d['$objects'] if "
                          "isinstance(o, dict)]\n"
                          "print('TSColour' in names, sorted(d['$top']))",
                          hex},
                         &output),
            0)
      << output.toStdString();
  EXPECT_EQ(output.trimmed(), "True ['root']");

  auto stack = openStack(path);
  cd::ObjectList objects = stack->fetch("Every");
  ASSERT_EQ(objects.size(), 1);
  auto colour = std::dynamic_pointer_cast<TestColour>(
      objects[0]->valueForKey("archived").value<fnd::CodingPtr>());
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->r, 0.25);
  EXPECT_EQ(colour->g, 0.5);
  EXPECT_EQ(colour->b, 1.0);
}

TEST(Transformable, AValueThatCannotBeArchivedFailsTheSaveCleanly) {
  QString path = tst::tempPath("unarchivable.sqlite");
  auto stack = openStack(path);
  stack->insert("Every")->setValue(QPointF(1, 2), "archived");
  fnd::Error error;
  EXPECT_FALSE(stack->context->save(&error));
  EXPECT_EQ(error.code(), fnd::PersistentStoreSaveError);
  EXPECT_EQ(sqlite(path, "SELECT count(*) FROM ZEVERY"), "0");
  EXPECT_TRUE(stack->context->hasChanges());
}

TEST(Transformable, ADamagedArchiveReadsAsNilWithoutHarm) {
  QString path = tst::tempPath("damaged-archive.sqlite");
  {
    auto stack = openStack(path);
    stack->insert("Every")->setValue(QVariantMap{{"k", 1}}, "archived");
    ASSERT_TRUE(stack->context->save());
  }
  sqlite(path, "UPDATE ZEVERY SET ZARCHIVED = x'62706c6973743030ffff'");
  auto stack = openStack(path);
  cd::ObjectList objects = stack->fetch("Every");
  ASSERT_EQ(objects.size(), 1);
  EXPECT_FALSE(objects[0]->valueForKey("archived").isValid());
}
