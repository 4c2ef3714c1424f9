#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "appkit/Document.h"
#include "coredata/ManagedObject.h"
#include "documents/IMDocumentController.h"
#include "foundation/ValueTransformer.h"
#include "window/IMWindowController.h"
#include "window/ImageResizeTransformer.h"

namespace {

QVariant forward(const QString& name, const QVariant& value) {
  return fnd::ValueTransformer::valueTransformerForName(name)->transformedValue(value);
}

QVariant reverse(const QString& name, const QVariant& value) {
  return fnd::ValueTransformer::valueTransformerForName(name)->reverseTransformedValue(value);
}

}  // namespace

// The names the window's bindings use are there once a document window
// is made, registered once, and each gives its values both ways.
TEST(WindowValueTransformers, RegisteredByTheFirstWindowAndTransformBothWays) {
  IMWindowController::installAsDocumentWindow();
  IMDocumentController controller;
  const QStringList names = {"LogValueForScaleSliderTransformer", "IsMultipleValueTransformer",
                             "IsSingleValueTransformer"};
  ui::Document* first = controller.openUntitledDocumentAndDisplay(true, nullptr);
  ASSERT_TRUE(first);
  QList<std::shared_ptr<fnd::ValueTransformer>> registered;
  for (const QString& name : names) {
    registered.append(fnd::ValueTransformer::valueTransformerForName(name));
    ASSERT_TRUE(registered.last()) << name.toStdString();
  }
  ui::Document* second = controller.openUntitledDocumentAndDisplay(true, nullptr);
  ASSERT_TRUE(second);
  for (int i = 0; i < names.size(); ++i)
    EXPECT_EQ(fnd::ValueTransformer::valueTransformerForName(names[i]), registered[i])
        << "the second window registers nothing again";
  first->close();
  second->close();
  tst::spinOnce();

  const QString log = "LogValueForScaleSliderTransformer";
  struct Case {
    double zoom, position;
  };
  for (const Case& row : {Case{1, 0}, Case{10, 1}, Case{0.1, -1}, Case{100, 2}}) {
    EXPECT_NEAR(forward(log, row.zoom).toDouble(), row.position, 1e-12) << row.zoom;
    EXPECT_NEAR(reverse(log, row.position).toDouble(), row.zoom, 1e-12) << row.position;
  }
  EXPECT_EQ(forward(log, 0.0).toDouble(), -INFINITY);
  EXPECT_TRUE(std::isnan(forward(log, -1.0).toDouble()));

  cd::ManagedObject *a = nullptr, *b = nullptr;
  struct ListCase {
    QVariant list;
    bool multiple;
  };
  const ListCase lists[] = {
      {QVariant(), false},
      {QVariantList(), false},
      {QVariantList({1}), false},
      {QVariantList({1, 2}), true},
      {QVariant::fromValue(cd::ObjectList({a})), false},
      {QVariant::fromValue(cd::ObjectList({a, b})), true},
  };
  for (const ListCase& row : lists) {
    EXPECT_EQ(forward("IsMultipleValueTransformer", row.list).toBool(), row.multiple);
    EXPECT_EQ(forward("IsSingleValueTransformer", row.list).toBool(), !row.multiple);
  }
  for (const QString& name : names)
    EXPECT_TRUE(
        fnd::ValueTransformer::valueTransformerForName(name)->allowsReverseTransformation());
}

TEST(WindowValueTransformers, ResizeTransformerShowsPixelsAndNeverDividesByZero) {
  ImageResizeTransformer width(640);
  EXPECT_DOUBLE_EQ(width.transformedValue(0.5).toDouble(), 320);
  EXPECT_DOUBLE_EQ(width.reverseTransformedValue(960).toDouble(), 1.5);
  EXPECT_DOUBLE_EQ(width.reverseTransformedValue(0).toDouble(), 0);
  ImageResizeTransformer empty(0);
  EXPECT_DOUBLE_EQ(empty.reverseTransformedValue(100).toDouble(), 0);
}
