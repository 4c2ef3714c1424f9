#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSpinBox>

#include "ListStore.h"
#include "appkit/ArrayController.h"
#include "appkit/Binding.h"
#include "appkit/ObjectController.h"
#include "foundation/ValueTransformer.h"

namespace {

// Shows a value in tenths.
class TenfoldTransformer : public fnd::ValueTransformer {
 public:
  QVariant transformedValue(const QVariant& value) const override { return value.toInt() * 10; }
  QVariant reverseTransformedValue(const QVariant& value) const override {
    return value.toInt() / 10;
  }
  bool allowsReverseTransformation() const override { return true; }
};

}  // namespace

// A control bound to "selection.value" through a named transformer shows the
// selected object's value, follows the selection and the object, writes the
// user's edit back, and is disabled while nothing is selected.
TEST(Binding, ControlFollowsTheSelectionAndWritesBack) {
  fnd::ValueTransformer::setValueTransformer(std::make_shared<TenfoldTransformer>(), "Tenfold");
  apptest::ListStore store;
  ui::ArrayController controller;
  cd::ObjectList cards = {store.card("A", 1), store.card("B", 2), store.card("C", 2)};
  controller.setContent(cards);

  QSpinBox spin;
  spin.setRange(-1000, 1000);
  QLineEdit name;
  ui::Binding::Options tenfold;
  tenfold.valueTransformerName = "Tenfold";
  auto valueBinding =
      ui::Binding::bindProperty(&spin, "value", &controller, "selection.value", tenfold);
  ui::Binding::Options placeholders;
  placeholders.multipleValuesPlaceholder = QStringLiteral("Multiple values");
  placeholders.noSelectionPlaceholder = QString();
  auto nameBinding =
      ui::Binding::bindProperty(&name, nullptr, &controller, "selection.name", placeholders);

  EXPECT_EQ(spin.value(), 10);
  EXPECT_EQ(name.text(), "A");
  controller.setSelectionIndex(1);
  EXPECT_EQ(spin.value(), 20);
  cards[1]->setValue(4, "value");
  EXPECT_EQ(spin.value(), 40);

  spin.setValue(70);  // the user's edit
  EXPECT_EQ(cards[1]->valueForKey("value"), 7);

  controller.setSelectionIndexes(fnd::IndexSet::fromList({1, 2}));
  EXPECT_EQ(name.text(), "Multiple values");
  name.setText("D");
  EXPECT_EQ(apptest::namesOf(cards), QStringList({"A", "D", "D"}));
  EXPECT_EQ(name.text(), "D");

  controller.setSelectionIndexes({});
  EXPECT_FALSE(spin.isEnabled());
  EXPECT_FALSE(name.isEnabled());
  EXPECT_EQ(name.text(), "");
  controller.setSelectionIndex(0);
  EXPECT_TRUE(spin.isEnabled());
  EXPECT_EQ(spin.value(), 10);

  valueBinding.reset();
  cards[0]->setValue(5, "value");
  EXPECT_EQ(spin.value(), 10);
}

// An object controller's selection is its content; a key of another object
// (an exposed binding) can follow it.
TEST(Binding, KeyOfAnObjectFollowsAnObjectController) {
  apptest::ListStore store;
  cd::ManagedObject* source = store.card("A", 3);
  cd::ManagedObject* follower = store.card("F", 0);
  ui::ObjectController controller;
  auto binding = ui::Binding::bindKey(follower, "value", &controller, "selection.value");
  EXPECT_EQ(follower->valueForKey("value"), 0);  // no content: nothing to follow
  controller.setContent(source);
  EXPECT_EQ(follower->valueForKey("value"), 3);
  source->setValue(8, "value");
  EXPECT_EQ(follower->valueForKey("value"), 8);
  binding->setValue(11);
  EXPECT_EQ(source->valueForKey("value"), 11);
}
