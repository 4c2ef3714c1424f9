// The point of a filter parameter as a binding: the filter point tool's
// handle follows "selection.point" of the parameters list, and a parameter's
// exposed "point" binding can follow it too, pushing each point it takes
// into its Core Image filter.
#include <gtest/gtest.h>

#include "ListPanelDocument.h"
#include "appkit/ArrayController.h"
#include "appkit/Binding.h"
#include "coreimage/Filter.h"
#include "model/Filter.h"
#include "model/FilterParameter.h"

namespace {

FilterParameter* centerOf(Filter* filter) {
  for (FilterParameter* parameter : filter->filterParametersArray())
    if (parameter->name() == "inputCenter") return parameter;
  return nullptr;
}

}  // namespace

TEST(FilterParameterPointBinding, FollowsTheSelectedParameterAndWritesBack) {
  Filter::loadFilters();
  ListPanelDocument document({});
  FilterParameter* first =
      centerOf(Filter::createFilterWithName("CIPixellate", document.context.get()));
  FilterParameter* second =
      centerOf(Filter::createFilterWithName("CIPixellate", document.context.get()));
  Filter* followerFilter = Filter::createFilterWithName("CIPixellate", document.context.get());
  FilterParameter* follower = centerOf(followerFilter);
  ASSERT_TRUE(first && second && follower);
  ASSERT_TRUE(FilterParameter::exposedBindings().contains("point"));
  first->setPoint({10, 20});
  second->setPoint({-3.5, 7.25});

  ui::ArrayController parameters;
  parameters.setContent({first, second});
  QList<QVariant> handle;  // what the point tool's handle is given
  ui::Binding tool(&parameters, "selection.point",
                   [&](const QVariant& value, bool) { handle.append(value); });
  auto exposed = ui::Binding::bindKey(follower, "point", &parameters, "selection.point");

  EXPECT_EQ(handle.last().toPointF(), QPointF(10, 20));
  EXPECT_EQ(follower->point(), QPointF(10, 20));
  parameters.setSelectionIndex(1);
  EXPECT_EQ(handle.last().toPointF(), QPointF(-3.5, 7.25));
  EXPECT_EQ(follower->point(), QPointF(-3.5, 7.25));
  const ci::Vector pushed =
      followerFilter->ciFilter()->valueForKey("inputCenter").value<ci::Vector>();
  EXPECT_EQ(pushed.X(), -3.5);
  EXPECT_EQ(pushed.Y(), 7.25);

  second->setPoint({100, 200});  // moved elsewhere (undo, another window)
  EXPECT_EQ(handle.last().toPointF(), QPointF(100, 200));

  tool.setValue(QPointF(42.7, -1.1));  // the user drags the handle
  EXPECT_EQ(second->x(), 42.7f);
  EXPECT_EQ(second->y(), -1.1f);
  EXPECT_EQ(first->point(), QPointF(10, 20));
  EXPECT_EQ(follower->x(), 42.7f);

  parameters.setSelectionIndexes({});
  EXPECT_TRUE(ui::isSelectionMarker(tool.modelValue(), ui::SelectionMarker::NoSelection));
  EXPECT_EQ(follower->x(), 42.7f);  // a marker is not a point: nothing is pushed
}
