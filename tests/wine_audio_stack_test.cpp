// The real Quorvane.exe against Wine's own audio stack, in a prefix that
// registers nothing of ours: with no sound server behind it the stack offers
// no endpoints, so a valid command line reaches the platform and finds nothing.

#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

struct StackCase {
  const char* title;
  const wchar_t* arguments;
  DWORD exitCode;
  std::string output;
};

// Failures name the row, not its bytes.
void PrintTo(const StackCase& row, std::ostream* out) { *out << row.title; }

class WineAudioStack : public ::testing::TestWithParam<StackCase> {};

TEST_P(WineAudioStack, FindsNothingToChange) {
  const StackCase& row = GetParam();
  const ProcessResult result = RunProgram(BuildFolder() + L"Quorvane.exe", row.arguments);
  EXPECT_EQ(row.output, result.output);
  EXPECT_EQ(row.exitCode, result.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, WineAudioStack,
    ::testing::Values(
        StackCase{"DisableSpeakers", L"disable render Speakers", 2,
                  "No endpoints matched substring \"Speakers\" in Playback list.\r\n"},
        StackCase{"EnableMicrophone", L"ENABLE Record \"USB Mic\"", 2,
                  "No endpoints matched substring \"USB Mic\" in Recording list.\r\n"}),
    [](const ::testing::TestParamInfo<StackCase>& info) { return info.param.title; });

}  // namespace
