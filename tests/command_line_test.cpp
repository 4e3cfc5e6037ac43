#include "cli/command_line.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fake_audio_platform.h"
#include "tests/usage_text.h"

namespace {

// The arguments after the program path.
std::vector<const wchar_t*> Argv(std::vector<const wchar_t*> arguments) {
  arguments.insert(arguments.begin(), L"C:\\Tools\\Quorvane.exe");
  return arguments;
}

struct GrammarCase {
  const char* title;
  std::vector<const wchar_t*> arguments;
  bool accepted;
  EDataFlow flow = eRender;
  bool visible = false;
};

// Failures name the row, not its bytes.
void PrintTo(const GrammarCase& row, std::ostream* out) { *out << row.title; }

class Grammar : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(Grammar, DecidesActionFlowAndSubstring) {
  const GrammarCase& row = GetParam();
  const std::vector<const wchar_t*> argv = Argv(row.arguments);
  const std::optional<SwitchRequest> request =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(row.accepted, request.has_value());
  if (request) {
    EXPECT_EQ(row.flow, request->flow);
    EXPECT_EQ(row.visible, request->visible);
    // The substring is the third argument itself, not a copy or a trimmed form.
    EXPECT_EQ(argv[3], request->nameSubstring);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, Grammar,
    ::testing::Values(
        GrammarCase{"NoArguments", {}, false}, GrammarCase{"OneArgument", {L"disable"}, false},
        GrammarCase{"TwoArguments", {L"disable", L"render"}, false},
        GrammarCase{"DisableRender", {L"disable", L"render", L"Speakers"}, true, eRender, false},
        GrammarCase{"EnableCapture", {L"enable", L"capture", L"Mic"}, true, eCapture, true},
        GrammarCase{
            "UpperCaseActionMixedFlow", {L"ENABLE", L"Playback", L"x"}, true, eRender, true},
        GrammarCase{"MixedActionUpperFlow", {L"Disable", L"RECORD", L"x"}, true, eCapture, false},
        GrammarCase{"Recording", {L"enable", L"recording", L"x"}, true, eCapture, true},
        GrammarCase{"EmptySubstring", {L"disable", L"render", L""}, true, eRender, false},
        GrammarCase{"FurtherArgumentsIgnored",
                    {L"disable", L"render", L"Speakers", L"enable", L"capture"},
                    true,
                    eRender,
                    false},
        GrammarCase{"AbbreviatedFlow", {L"enable", L"rec", L"x"}, false},
        GrammarCase{"LongerAction", {L"enabled", L"render", L"x"}, false},
        GrammarCase{"ActionWithTrailingSpace", {L"enable ", L"render", L"x"}, false},
        GrammarCase{"UnknownAction", {L"mute", L"render", L"x"}, false},
        GrammarCase{"UnknownFlow", {L"disable", L"speakers", L"x"}, false},
        GrammarCase{"DashH", {L"-h", L"render", L"x"}, false},
        GrammarCase{"SlashQuestionMark", {L"/?", L"render", L"x"}, false},
        GrammarCase{"Help", {L"help", L"render", L"x"}, false},
        GrammarCase{"EmptyAction", {L"", L"render", L"x"}, false},
        GrammarCase{"ActionAndFlowSwapped", {L"render", L"disable", L"x"}, false},
        // Only ASCII letters fold: the Kelvin sign and the long s are not k and s.
        GrammarCase{"KelvinSignIsNotK", {L"enable", L"playbac\u212A", L"x"}, false},
        GrammarCase{"LongSIsNotS", {L"di\u017Fable", L"render", L"x"}, false},
        GrammarCase{"AccentedLetterIsNotPlain", {L"\u00C9nable", L"render", L"x"}, false}),
    [](const ::testing::TestParamInfo<GrammarCase>& info) { return info.param.title; });

struct Finished {
  int status;
  std::string output;
};

// The whole program on these arguments, with what it printed.
Finished RunWithArguments(const std::vector<const wchar_t*>& arguments) {
  const std::vector<const wchar_t*> argv = Argv(arguments);
  StdoutCapture capture;
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data());
  return {status, capture.Finish()};
}

// A refused command line prints the usage text, exits 1 and never reaches the
// audio stack.
class RefusedCommandLine : public ::testing::TestWithParam<std::vector<const wchar_t*>> {};

TEST_P(RefusedCommandLine, PrintsUsageAndTouchesNothing) {
  TestApartment apartment;
  FakeAudioPlatform platform({SimulatedEndpoint{L"Speakers"}});
  const Finished run = RunWithArguments(GetParam());
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(kUsageBytes, run.output);
  EXPECT_TRUE(platform.Journal().empty());
  EXPECT_EQ(DEVICE_STATE_ACTIVE, platform.Endpoints()[0].state);
}

INSTANTIATE_TEST_SUITE_P(Grammar, RefusedCommandLine,
                         ::testing::Values(std::vector<const wchar_t*>{},
                                           std::vector<const wchar_t*>{L"disable", L"render"},
                                           std::vector<const wchar_t*>{L"mute", L"render", L"Sp"},
                                           std::vector<const wchar_t*>{L"disable", L"rec", L"Sp"}));

struct StatusCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  std::vector<const wchar_t*> arguments;
  int status;
};

// Failures name the row, not its bytes.
void PrintTo(const StatusCase& row, std::ostream* out) { *out << row.title; }

class ExitStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ExitStatus, SaysWhetherAnythingChanged) {
  const StatusCase& row = GetParam();
  TestApartment apartment;
  FakeAudioPlatform platform(row.endpoints);
  EXPECT_EQ(row.status, RunWithArguments(row.arguments).status);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ExitStatus,
    ::testing::Values(
        StatusCase{"Changed", {{L"Speakers"}}, {L"disable", L"render", L"Speak"}, 0},
        StatusCase{"NothingMatched", {{L"Speakers"}}, {L"disable", L"render", L"speak"}, 2},
        StatusCase{"OtherFlowOnly", {{L"Speakers"}}, {L"disable", L"capture", L"Speak"}, 2},
        StatusCase{
            "OneChangedOneFailed",
            {{.name = L"Speakers A", .visibilityStatus = E_ACCESSDENIED}, {.name = L"Speakers B"}},
            {L"disable", L"render", L"Speakers"},
            0},
        StatusCase{"EveryAttemptFailed",
                   {{.name = L"Speakers", .policyStatus = REGDB_E_CLASSNOTREG}},
                   {L"enable", L"playback", L"Speakers"},
                   2}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return info.param.title; });

TEST(Usage, IsTheFixedTextWhateverTheProgramIsCalled) {
  StdoutCapture capture;
  PrintUsage();
  EXPECT_EQ(kUsageBytes, capture.Finish());
}

}  // namespace
