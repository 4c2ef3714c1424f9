// The rule every check against an independent tool relies on: outside CI a
// missing tool lets the check skip itself; in CI it fails the test.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

const QString Missing = QStringLiteral("tessaly-no-such-tool");

bool haveMissingToolWithCI(const char* value) {
  const QByteArray saved = qgetenv("CI");
  const bool wasSet = qEnvironmentVariableIsSet("CI");
  if (value)
    qputenv("CI", value);
  else
    qunsetenv("CI");
  const bool found = tst::haveTool(Missing);
  if (wasSet)
    qputenv("CI", saved);
  else
    qunsetenv("CI");
  return found;
}

}  // namespace

TEST(ToolCheck, AMissingToolFailsTheTestOnlyInCI) {
  EXPECT_FALSE(haveMissingToolWithCI(nullptr));
  EXPECT_FALSE(haveMissingToolWithCI(""));
  EXPECT_NONFATAL_FAILURE(haveMissingToolWithCI("1"), "tessaly-no-such-tool is not installed");
  EXPECT_TRUE(tst::haveTool("sh"));
}
