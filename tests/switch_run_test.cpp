#include "endpoints/visibility_switch.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/in_process.h"

namespace {

struct Switched {
  std::string output;
  std::wstring visibilityCalls;  // "{ep1} 0, {ep2} 0": identifier and value of each call
};

// One switch run on these endpoints, which must give back everything it took
// exactly once and say it changed something exactly when it printed a result.
Switched Switch(const std::vector<SimulatedEndpoint>& endpoints, EDataFlow flow,
                const std::wstring& substring, bool visible, PlatformFailures failures = {}) {
  TestApartment apartment;
  SimulatedPlatform platform(endpoints, failures);
  ClassRegistration registration(platform);
  StdoutCapture capture;
  const bool changed = ApplyVisibilityToMatches(flow, substring.c_str(), visible);
  Switched run = {capture.Finish(), L""};
  EXPECT_EQ(std::vector<std::wstring>{}, platform.Ledger()) << "not given back exactly once";
  EXPECT_EQ(run.output.find(" -> ") != std::string::npos, changed);
  const std::wstring call = L"SetEndpointVisibility ";
  for (const std::wstring& entry : platform.Journal()) {
    if (entry.rfind(call, 0) == 0) {
      run.visibilityCalls +=
          (run.visibilityCalls.empty() ? L"" : L", ") + entry.substr(call.size());
    }
  }
  return run;
}

struct SwitchCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  EDataFlow flow;
  std::wstring substring;
  bool visible;
  std::string output;
  std::wstring visibilityCalls;
  PlatformFailures failures = {};
};

// Failures name the row, not its bytes.
void PrintTo(const SwitchCase& row, std::ostream* out) { *out << row.title; }

class SwitchRun : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchRun, ChangesAndReportsEachMatch) {
  const SwitchCase& row = GetParam();
  const Switched run = Switch(row.endpoints, row.flow, row.substring, row.visible, row.failures);
  EXPECT_EQ(row.output, run.output);
  EXPECT_EQ(row.visibilityCalls, run.visibilityCalls);
}

const std::wstring kSpeakers = L"Speakers (High Definition Audio)";
const std::string kSpeakersOff = "Playback: Speakers (High Definition Audio) -> DISABLED\r\n";
const std::string kBOff = "Playback: Speakers B -> DISABLED\r\n";
const std::string kNoSpeakers = "No endpoints matched substring \"Speakers\" in Playback list.\r\n";

// Tables of cases keep one case to a few lines.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Matching, SwitchRun,
    ::testing::Values(
        SwitchCase{"OneMatch", {{L"Cable Input - Virtual Speakers"}, {kSpeakers}}, eRender,
                   L"Speakers (High", false, kSpeakersOff, L"{ep1} 0"},
        SwitchCase{"SearchIsCaseSensitive", {{L"Speakers"}}, eRender, L"speakers", false,
                   "No endpoints matched substring \"speakers\" in Playback list.\r\n", L""},
        SwitchCase{"WholeNameAndLastCharacterMatch", {{L"Speakers"}, {L"Speaker"}}, eRender,
                   L"Speakers", false, "Playback: Speakers -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"EveryMatchInCollectionOrder", {{L"Speakers B"}, {L"Headphones"},
                   {L"Speakers A"}}, eRender, L"Speakers", true,
                   "Playback: Speakers B -> ENABLED\r\nPlayback: Speakers A -> ENABLED\r\n",
                   L"{ep0} 1, {ep2} 1"},
        SwitchCase{"EmptySubstringMatchesEveryName", {{L"One"}, {L""}}, eRender, L"", false,
                   "Playback: One -> DISABLED\r\nPlayback:  -> DISABLED\r\n", L"{ep0} 0, {ep1} 0"},
        SwitchCase{"EveryStateIsEnumerated", {{.name = L"S1"}, {.name = L"S2", .hidden = true},
                   {.name = L"S3", .presence = DEVICE_STATE_NOTPRESENT},
                   {.name = L"S4", .presence = DEVICE_STATE_UNPLUGGED}}, eRender, L"S", true,
                   "Playback: S1 -> ENABLED\r\nPlayback: S2 -> ENABLED\r\n"
                   "Playback: S3 -> ENABLED\r\nPlayback: S4 -> ENABLED\r\n",
                   L"{ep0} 1, {ep1} 1, {ep2} 1, {ep3} 1"},
        SwitchCase{"OnlyTheChosenFlow", {{.name = L"Mic Out", .flow = eRender},
                   {.name = L"Mic In", .flow = eCapture}}, eCapture, L"Mic", false,
                   "Recording: Mic In -> DISABLED\r\n", L"{ep1} 0"},
        SwitchCase{"NoEndpointsAtAll", {}, eCapture, L"Mic", true,
                   "No endpoints matched substring \"Mic\" in Recording list.\r\n", L""}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// Each endpoint stands alone: one whose identifier or name cannot be read is
// passed over in silence, a failed policy object or change is reported, and
// the run goes on with the next.
INSTANTIATE_TEST_SUITE_P(
    EndpointFailures, SwitchRun,
    ::testing::Values(
        SwitchCase{"ItemFails", {{.name = L"Speakers A", .itemStatus = E_FAIL}, {L"Speakers B"}},
                   eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        // Success without an object is as good as a failure, and never used.
        SwitchCase{"ItemSucceedsWithoutDevice", {{.name = L"Speakers A", .itemStatus = S_FALSE},
                   {L"Speakers B"}}, eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        // An identifier that cannot be read is never handed to the policy object.
        SwitchCase{"IdFailsAndIsLeftNull", {{.name = L"Speakers A", .idStatus = E_OUTOFMEMORY,
                   .idLeftNull = true}, {L"Speakers B"}}, eRender, L"Speakers", false, kBOff,
                   L"{ep1} 0"},
        SwitchCase{"IdSucceedsButIsNull", {{.name = L"Speakers A", .idLeftNull = true},
                   {L"Speakers B"}}, eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        SwitchCase{"IdFailsButIsWritten", {{.name = L"Speakers A", .idStatus = E_FAIL},
                   {L"Speakers B"}}, eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        SwitchCase{"StoreFails", {{.name = L"Speakers A", .openStatus = E_ACCESSDENIED},
                   {L"Speakers B"}}, eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        SwitchCase{"StoreSucceedsWithoutStore", {{.name = L"Speakers A", .openStatus = S_FALSE},
                   {L"Speakers B"}}, eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        // The store fills the value even so: a failed call's value is never read.
        SwitchCase{"NameFails", {{.name = L"Speakers A", .valueStatus = E_FAIL}, {L"Speakers B"}},
                   eRender, L"Speakers", false, kBOff, L"{ep1} 0"},
        SwitchCase{"NameMissingNotAStringOrNull", {{.name = L"Speakers A", .nameKind =
                   NameKind::kMissing}, {.name = L"Speakers C", .nameKind = NameKind::kNotAString},
                   {.name = L"Speakers D", .nameKind = NameKind::kNullString}, {L"Speakers B"}},
                   eRender, L"Speakers", false, kBOff, L"{ep3} 0"},
        // A success other than S_OK is a success.
        SwitchCase{"NameReadWithOtherSuccess", {{.name = L"Speakers A", .valueStatus = S_FALSE},
                   {L"Speakers B"}}, eRender, L"Speakers", false,
                   "Playback: Speakers A -> DISABLED\r\n" + kBOff, L"{ep0} 0, {ep1} 0"},
        SwitchCase{"VisibilityChangedWithOtherSuccess", {{.name = L"Speakers", .visibilityStatus =
                   S_FALSE}}, eRender, L"Speakers", false, "Playback: Speakers -> DISABLED\r\n",
                   L"{ep0} 0"},
        SwitchCase{"PolicyClassMissing", {{.name = L"Speakers A", .policyStatus =
                   REGDB_E_CLASSNOTREG}, {L"Speakers B"}}, eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n" + kBOff, L"{ep1} 0"},
        SwitchCase{"PolicyCreatedWithoutObject", {{.name = L"Speakers A", .policyWithoutObject =
                   true}, {L"Speakers B"}}, eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x00000000)\r\n" + kBOff, L"{ep1} 0"},
        // Every hexadecimal letter, in upper case.
        SwitchCase{"VisibilityRefused", {{.name = L"Speakers A", .visibilityStatus =
                   static_cast<HRESULT>(0x8ABCDEF9u)}, {L"Speakers B"}}, eRender, L"Speakers", true,
                   "SetEndpointVisibility failed (hr=0x8ABCDEF9)\r\nPlayback: Speakers B -> "
                   "ENABLED\r\n", L"{ep0} 1, {ep1} 1"},
        // Failure lines first, then the no-match line, since nothing changed.
        SwitchCase{"EveryAttemptFails", {{.name = L"Speakers A", .policyStatus =
                   REGDB_E_CLASSNOTREG}, {.name = L"Speakers B", .visibilityStatus =
                   E_INVALIDARG}}, eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
                   "SetEndpointVisibility failed (hr=0x80070057)\r\n" + kNoSpeakers, L"{ep1} 0"}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// The set-up steps end the run early with their own line and no no-match line.
INSTANTIATE_TEST_SUITE_P(
    SetUpFailures, SwitchRun,
    ::testing::Values(
        SwitchCase{"EnumeratorClassMissing", {{kSpeakers}}, eRender, L"Speakers", false,
                   "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n", L"",
                   PlatformFailures{.enumeratorStatus = REGDB_E_CLASSNOTREG}},
        // CoCreateInstance answers with its own success, not the factory's.
        SwitchCase{"EnumeratorCreatedWithoutObject", {{kSpeakers}}, eRender, L"Speakers", false,
                   "MMDeviceEnumerator CoCreateInstance failed (hr=0x00000000)\r\n", L"",
                   PlatformFailures{.enumeratorStatus = S_FALSE}},
        SwitchCase{"EnumerationFails", {{kSpeakers}}, eRender, L"Speakers", false,
                   "EnumAudioEndpoints failed (hr=0x8000FFFF)\r\n", L"",
                   PlatformFailures{.enumerateStatus = E_UNEXPECTED}},
        SwitchCase{"EnumerationWithoutCollection", {{kSpeakers}}, eRender, L"Speakers", false,
                   "EnumAudioEndpoints failed (hr=0x00000001)\r\n", L"",
                   PlatformFailures{.enumerateStatus = S_FALSE}},
        // The count's status is not examined, only what it leaves in the count.
        SwitchCase{"CountFailsAndLeavesZero", {{kSpeakers}}, eRender, L"Speakers", false,
                   kNoSpeakers, L"", PlatformFailures{.countStatus = E_FAIL}},
        SwitchCase{"CountFailsButIsWritten", {{kSpeakers}, {L"Speakers B"}}, eRender, L"Speakers",
                   false, kSpeakersOff + kBOff, L"{ep0} 0, {ep1} 0",
                   PlatformFailures{.countStatus = E_FAIL, .countWrittenOnFailure = 2u}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// Names and substrings print byte for byte: U+0000..U+00FF as that byte, anything
// above as '?', and '%' as itself; the match is made on the full name.
INSTANTIATE_TEST_SUITE_P(
    Encoding, SwitchRun,
    ::testing::Values(
        SwitchCase{"LatinOneEdges", {{L"Haut-parleurs (R\u00E9altek) \u0080\u00FF\u0100"}},
                   eRender, L"Haut", false, "Playback: Haut-parleurs (R\xE9" "altek) \x80\xFF? -> "
                   "DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"AboveLatinOneAsQuestionMark", {{L"\u626C\u58F0\u5668 Speakers"}}, eRender,
                   L"\u58F0\u5668", false, "Playback: ??? Speakers -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"OutsideBasicPlaneAndUnpairedHalves", {{L"Headset \U0001F3A7 \xD800|\xDFFF"}},
                   eRender, L"\U0001F3A7", true, "Playback: Headset ?? ?|? -> ENABLED\r\n",
                   L"{ep0} 1"},
        SwitchCase{"PercentSignsAsThemselves", {{L"100% %s %n %x %08X Speakers"}}, eRender, L"%s",
                   false, "Playback: 100% %s %n %x %08X Speakers -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"ControlCharactersAsTheirBytes", {{L"tab\tcr\rlf\nbell\x07"}}, eRender, L"lf",
                   false, "Playback: tab\tcr\rlf\r\nbell\x07 -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"CutShortAtNul", {{std::wstring(L"before\0after", 12)}}, eRender, L"before",
                   false, "Playback: before -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"SubstringOfTheNoMatchLine", {{kSpeakers}}, eCapture,
                   L"caf\u00E9 \u4E2D\U0001F3A7 %d", false,
                   "No endpoints matched substring \"caf\xE9 ??? %d\" in Recording list.\r\n", L""},
        // Longer than one write to the runtime: the bytes still come out whole.
        SwitchCase{"NamesOfOneWriteAndLonger", {{std::wstring(4096 - 23, L'x')},
                   {std::wstring(40000, L'y') + L"\u0100"}}, eRender, L"", false,
                   "Playback: " + std::string(4096 - 23, 'x') + " -> DISABLED\r\nPlayback: " +
                   std::string(40000, 'y') + "? -> DISABLED\r\n", L"{ep0} 0, {ep1} 0"}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });
// clang-format on

TEST(SwitchRunOrder, GivesEverythingBackInReverseOrderOfAcquisition) {
  TestApartment apartment;
  SimulatedPlatform platform({{L"Speakers"}, {L"Microphone Array"}});
  ClassRegistration registration(platform);
  StdoutCapture capture;
  ApplyVisibilityToMatches(eRender, L"Speakers", false);
  capture.Finish();
  // clang-format off
  const std::vector<std::wstring> expected = {
      L"CoCreateInstance MMDeviceEnumerator", L"EnumAudioEndpoints flow=0 mask=15", L"GetCount",
      L"Item 0", L"GetId {ep0}", L"OpenPropertyStore {ep0} mode=0", L"GetValue {ep0} FriendlyName",
      L"CoCreateInstance PolicyConfig", L"SetEndpointVisibility {ep0} 0", L"release policy",
      L"free name {ep0}", L"release store {ep0}", L"free id {ep0}", L"release device {ep0}",
      L"Item 1", L"GetId {ep1}", L"OpenPropertyStore {ep1} mode=0", L"GetValue {ep1} FriendlyName",
      L"free name {ep1}", L"release store {ep1}", L"free id {ep1}", L"release device {ep1}",
      L"release collection", L"release enumerator"};
  // clang-format on
  EXPECT_EQ(expected, platform.Journal());
}

TEST(Apartment, ACoInitializeFailureIsReportedAndNothingIsCreated) {
  // A thread already in the multithreaded apartment cannot enter a single-threaded one.
  TestApartment apartment(COINIT_MULTITHREADED);
  SimulatedPlatform platform({{kSpeakers}});
  ClassRegistration registration(platform);
  StdoutCapture capture;
  EXPECT_FALSE(ApplyVisibilityToMatches(eRender, L"Speakers", false));
  EXPECT_EQ("CoInitialize failed (hr=0x80010106)\r\n", capture.Finish());
  EXPECT_TRUE(platform.Journal().empty());
  // The failed initialisation took nothing that the run could give back: the
  // test's own multithreaded apartment is still there.
  EXPECT_EQ(S_FALSE, TestApartment(COINIT_MULTITHREADED).Status());
}

TEST(Apartment, IsSingleThreadedAndLeftAsTheRunFoundIt) {
  {
    TestApartment apartment;
    SimulatedPlatform platform({{kSpeakers}});
    ClassRegistration registration(platform);
    // The run's own CoInitialize answers S_FALSE here, which is a success.
    StdoutCapture capture;
    EXPECT_TRUE(ApplyVisibilityToMatches(eRender, L"Speakers", false));
    EXPECT_EQ(kSpeakersOff, capture.Finish());
    // Still initialised by the test: the run gave back only its own initialisation.
    EXPECT_EQ(S_FALSE, TestApartment().Status());
  }
  // Nothing of the run's initialisation is left on the thread.
  EXPECT_EQ(S_OK, TestApartment(COINIT_MULTITHREADED).Status());
}

}  // namespace
