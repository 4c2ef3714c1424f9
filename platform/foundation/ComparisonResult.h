// The result of comparing two values, as sort comparators return it.
#pragma once

namespace fnd {

enum class ComparisonResult { OrderedAscending = -1, OrderedSame = 0, OrderedDescending = 1 };

}  // namespace fnd
