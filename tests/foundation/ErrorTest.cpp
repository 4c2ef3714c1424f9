#include <gtest/gtest.h>

#include "foundation/Error.h"

using fnd::Error;

TEST(Error, DescriptionFallsBackToDomainAndCode) {
  Error plain(fnd::CocoaErrorDomain, fnd::FileReadCorruptFileError);
  EXPECT_TRUE(plain.localizedDescription().contains("NSCocoaErrorDomain"));
  EXPECT_TRUE(plain.localizedDescription().contains("259"));

  Error described = Error::withDescription("Tessaly", 0, "corrupted");
  EXPECT_EQ(described.localizedDescription(), "corrupted");
}

TEST(Error, CarriesUnderlyingAndDetailedErrors) {
  Error inner = Error::withDescription("inner", 7, "disk full");
  Error outer("outer", 1,
              {{fnd::UnderlyingErrorKey, QVariant::fromValue(inner)},
               {fnd::DetailedErrorsKey,
                QVariantList{QVariant::fromValue(inner), QVariant::fromValue(inner)}}});
  EXPECT_EQ(outer.underlyingError(), inner);
  ASSERT_EQ(outer.detailedErrors().size(), 2);
  EXPECT_EQ(outer.detailedErrors()[1].code(), 7);
}

TEST(Error, FailFillsOnlyWhenAsked) {
  Error out;
  EXPECT_FALSE(fnd::fail(&out, "d", 3, "why"));
  EXPECT_EQ(out.code(), 3);
  EXPECT_FALSE(fnd::fail(nullptr, "d", 3, "why"));
}
