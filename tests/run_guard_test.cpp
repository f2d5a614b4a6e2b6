// The exception guard of the run.
#include "app/run_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace kestrinel {
namespace {

TEST(RunGuardTest, StandardExceptionBecomesGuardStatus) {
  testing::internal::CaptureStdout();
  const PhaseResult result = RunGuarded(ExitSearchFault, []() -> PhaseResult {
    return std::vector<int>().at(3) == 0 ? std::nullopt : PhaseResult(ExitActivated);
  });
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, ExitSearchFault);
  // "Error:" and the exception's own text, nothing after it.
  ASSERT_EQ(output.rfind("Error:", 0), 0u);
  EXPECT_NE(output.find("vector"), std::string::npos);
  EXPECT_EQ(output.back() == '\n', false);
}

TEST(RunGuardTest, DerivedExceptionTextPrintedAsIs) {
  testing::internal::CaptureStdout();
  const PhaseResult result = RunGuarded(
      ExitAppendFault, []() -> PhaseResult { throw std::length_error("too long: 100%s"); });
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error:too long: 100%s");
  EXPECT_EQ(result, ExitAppendFault);
}

TEST(RunGuardTest, BodyResultPassesThrough) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunGuarded(ExitConsistencyFault, []() -> PhaseResult { return std::nullopt; }),
            std::nullopt);
  EXPECT_EQ(RunGuarded(ExitConsistencyFault, []() -> PhaseResult { return ExitActivated; }),
            ExitActivated);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace kestrinel
