#include "cli/command_line.h"
#include "cli/id_command_line.h"
#include "cli/list_command_line.h"

#include <optional>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Spellings, Grammar,
    ::testing::Values(
        GrammarCase{"NoArguments", {}, false},
        GrammarCase{"TwoArguments", {L"disable", L"render"}, false},
        GrammarCase{"DisableRender", {L"disable", L"render", L"Speakers"}, true, eRender, false},
        GrammarCase{"EnableCapture", {L"enable", L"capture", L"Mic"}, true, eCapture, true},
        GrammarCase{"UpperActionMixedFlow", {L"ENABLE", L"Playback", L"x"}, true, eRender, true},
        GrammarCase{"MixedActionUpperFlow", {L"Disable", L"RECORD", L"x"}, true, eCapture, false},
        GrammarCase{"Recording", {L"enable", L"recording", L"x"}, true, eCapture, true},
        GrammarCase{"EmptySubstring", {L"disable", L"render", L""}, true, eRender, false},
        GrammarCase{"FurtherArgumentsIgnored", {L"disable", L"render", L"Sp", L"enable"}, true},
        GrammarCase{"AbbreviatedFlow", {L"enable", L"rec", L"x"}, false},
        GrammarCase{"AbbreviatedAction", {L"dis", L"render", L"x"}, false},
        GrammarCase{"LongerAction", {L"enabled", L"render", L"x"}, false},
        GrammarCase{"LongerFlow", {L"enable", L"renders", L"x"}, false},
        GrammarCase{"UnknownAction", {L"mute", L"render", L"x"}, false},
        GrammarCase{"UnknownFlow", {L"disable", L"speakers", L"x"}, false},
        GrammarCase{"ActionAndFlowSwapped", {L"render", L"disable", L"x"}, false},
        // Only ASCII letters fold: the Kelvin sign and the long s are not k and s.
        GrammarCase{"KelvinSignIsNotK", {L"enable", L"playbac\u212A", L"x"}, false},
        GrammarCase{"LongSIsNotS", {L"di\u017Fable", L"render", L"x"}, false},
        GrammarCase{"AccentedLetterIsNotPlain", {L"\u00C9nable", L"render", L"x"}, false}),
    [](const ::testing::TestParamInfo<GrammarCase>& info) { return info.param.title; });
// clang-format on

struct ListGrammarCase {
  const char* title;
  std::vector<const wchar_t*> arguments;
  bool accepted;
  std::optional<EDataFlow> flow = std::nullopt;  // none: both
  const wchar_t* substring = nullptr;            // none: every endpoint
  bool utf8 = false;
};

void PrintTo(const ListGrammarCase& row, std::ostream* out) { *out << row.title; }

class ListGrammar : public ::testing::TestWithParam<ListGrammarCase> {};

TEST_P(ListGrammar, DecidesFlowAndSubstring) {
  const ListGrammarCase& row = GetParam();
  const std::vector<const wchar_t*> argv = Argv(row.arguments);
  const std::optional<ListRequest> request =
      ParseListCommandLine(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(row.accepted, request.has_value());
  if (request) {
    EXPECT_EQ(row.flow, request->flow);
    EXPECT_EQ(row.utf8, request->utf8);
    EXPECT_EQ(row.substring == nullptr, request->nameSubstring == nullptr);
    if (row.substring != nullptr && request->nameSubstring != nullptr) {
      EXPECT_STREQ(row.substring, request->nameSubstring);
    }
  }
}

// The flow keywords are Quorvane's own, and so are their case rules.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Spellings, ListGrammar,
    ::testing::Values(
        ListGrammarCase{"NothingListsBoth", {}, true},
        ListGrammarCase{"OneFlow", {L"render"}, true, eRender},
        ListGrammarCase{"FlowInAnyAsciiCase", {L"RECORDING"}, true, eCapture},
        ListGrammarCase{"EmptySubstringIsASubstring", {L"capture", L""}, true, eCapture, L""},
        ListGrammarCase{"FlowAndSubstring", {L"Playback", L"Speakers"}, true, eRender, L"Speakers"},
        ListGrammarCase{"UnknownFlow", {L"speakers"}, false},
        ListGrammarCase{"AbbreviatedFlow", {L"rec"}, false},
        ListGrammarCase{"KelvinSignIsNotK", {L"playbac\u212A"}, false},
        ListGrammarCase{"ActionIsNoFlow", {L"disable", L"render", L"x"}, false},
        ListGrammarCase{"NothingAfterTheSubstring", {L"render", L"x", L"y"}, false},
        // -utf8 first, a whole word in any ASCII case, as the flow words are.
        ListGrammarCase{"Utf8Alone", {L"-utf8"}, true, std::nullopt, nullptr, true},
        ListGrammarCase{"Utf8ThenFlowAndSubstring", {L"-UTF8", L"capture", L"Mic"}, true, eCapture,
                        L"Mic", true},
        ListGrammarCase{"Utf8AfterTheFlowIsTheSubstring", {L"render", L"-utf8"}, true, eRender,
                        L"-utf8"},
        ListGrammarCase{"Utf8IsNoFlow", {L"-utf8", L"-utf8"}, false},
        ListGrammarCase{"Utf8Abbreviated", {L"-utf"}, false},
        ListGrammarCase{"Utf8NothingAfterTheSubstring", {L"-utf8", L"render", L"x", L"y"}, false}),
    [](const ::testing::TestParamInfo<ListGrammarCase>& info) { return info.param.title; });
// clang-format on

struct IdGrammarCase {
  const char* title;
  std::vector<const wchar_t*> arguments;
  bool accepted;
  bool visible = false;
};

void PrintTo(const IdGrammarCase& row, std::ostream* out) { *out << row.title; }

class IdGrammar : public ::testing::TestWithParam<IdGrammarCase> {};

TEST_P(IdGrammar, DecidesActionAndIds) {
  const IdGrammarCase& row = GetParam();
  const std::vector<const wchar_t*> argv = Argv(row.arguments);
  const std::optional<IdRequest> request =
      ParseIdCommandLine(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(row.accepted, request.has_value());
  if (request) {
    EXPECT_EQ(row.visible, request->visible);
    // Every argument after the action, in order, each the argument itself.
    EXPECT_EQ(std::vector<const wchar_t*>(argv.begin() + 2, argv.end()),
              std::vector<const wchar_t*>(request->ids.begin(), request->ids.end()));
  }
}

// The action words are Quorvane's own; an id is taken as it comes.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Spellings, IdGrammar,
    ::testing::Values(
        IdGrammarCase{"NoArguments", {}, false},
        IdGrammarCase{"ActionWithoutId", {L"disable"}, false},
        IdGrammarCase{"OneId", {L"disable", L"{0.0.0.00000000}.{a}"}, true, false},
        IdGrammarCase{"SeveralIdsInOrder", {L"ENABLE", L"{b}", L"{a}", L"{b}"}, true, true},
        IdGrammarCase{"EmptyIdIsAnId", {L"Disable", L""}, true, false},
        IdGrammarCase{"KeywordsAfterTheActionAreIds", {L"enable", L"disable", L"render"}, true, true},
        IdGrammarCase{"FlowIsNoAction", {L"render", L"{a}"}, false},
        IdGrammarCase{"LongerAction", {L"enabled", L"{a}"}, false},
        IdGrammarCase{"LongSIsNotS", {L"di\u017Fable", L"{a}"}, false}),
    [](const ::testing::TestParamInfo<IdGrammarCase>& info) { return info.param.title; });
// clang-format on

}  // namespace
