#include "endpoints/visibility_switch.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fake_audio_platform.h"

namespace {

const std::wstring kCable = L"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)";
const std::wstring kSpeakers = L"Speakers (High Definition Audio)";

std::wstring SetCall(size_t endpoint, int visible) {
  return L"SetEndpointVisibility " + FakeAudioPlatform::IdOf(endpoint) + L" " +
         std::to_wstring(visible);
}

std::vector<std::wstring> CallsStartingWith(const FakeAudioPlatform& platform,
                                            const std::wstring& start) {
  std::vector<std::wstring> calls;
  for (const std::wstring& entry : platform.Journal()) {
    if (entry.rfind(start, 0) == 0) {
      calls.push_back(entry);
    }
  }
  return calls;
}

void ExpectEverythingGivenBack(const FakeAudioPlatform& platform) {
  EXPECT_EQ(0, platform.LiveObjects()) << "objects still referenced after the run";
  EXPECT_EQ(0, platform.OverReleases());
  EXPECT_EQ(std::vector<std::wstring>{}, platform.UnfreedTaskMemory());
  EXPECT_EQ(0, platform.DoubleFrees());
  EXPECT_TRUE(platform.TaskMemoryWatched());
}

struct RunResult {
  bool changed;
  std::string output;
};

RunResult SwitchAndCapture(EDataFlow flow, const wchar_t* substring, bool visible) {
  StdoutCapture capture;
  const bool changed = ApplyVisibilityToMatches(flow, substring, visible);
  return {changed, capture.Finish()};
}

struct SwitchCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  EDataFlow flow;
  const wchar_t* substring;
  bool visible;
  std::string output;
  std::vector<std::wstring> visibilityCalls;
  PlatformFailures failures = {};
};

// Failures name the row, not its bytes.
void PrintTo(const SwitchCase& row, std::ostream* out) { *out << row.title; }

class SwitchRun : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchRun, ChangesAndReportsEachMatch) {
  const SwitchCase& row = GetParam();
  TestApartment apartment;
  FakeAudioPlatform platform(row.endpoints, row.failures);
  const RunResult run = SwitchAndCapture(row.flow, row.substring, row.visible);
  EXPECT_EQ(row.output, run.output);
  EXPECT_EQ(row.visibilityCalls, CallsStartingWith(platform, L"SetEndpointVisibility"));
  // Changed exactly when a result line was printed.
  EXPECT_EQ(run.output.find(" -> ") != std::string::npos, run.changed);
  ExpectEverythingGivenBack(platform);
}

const std::string kNoSpeakers = "No endpoints matched substring \"Speakers\" in Playback list.\r\n";

// Tables of cases keep one case to a few lines.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Matching, SwitchRun,
    ::testing::Values(
        SwitchCase{"OneMatch", {{kCable}, {kSpeakers}}, eRender, L"Speakers (High", false,
                   "Playback: Speakers (High Definition Audio) -> DISABLED\r\n", {SetCall(1, 0)}},
        SwitchCase{"SearchIsCaseSensitive", {{kCable}}, eRender, L"cable input", false,
                   "No endpoints matched substring \"cable input\" in Playback list.\r\n", {}},
        SwitchCase{"ExactCaseMatches", {{kCable}}, eRender, L"Input - Virtual", false,
                   "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> "
                   "DISABLED\r\n",
                   {SetCall(0, 0)}},
        SwitchCase{"EveryMatchInCollectionOrder",
                   {{L"Speakers B"}, {L"Headphones"}, {L"Speakers A"}},
                   eRender,
                   L"Speakers",
                   true,
                   "Playback: Speakers B -> ENABLED\r\nPlayback: Speakers A -> ENABLED\r\n",
                   {SetCall(0, 1), SetCall(2, 1)}},
        SwitchCase{"EmptySubstringMatchesEveryReadableName",
                   {{.name = L"One"},
                    {.name = L"None", .nameKind = NameKind::kMissing},
                    {.name = L"Number", .nameKind = NameKind::kNotAString},
                    {.name = L"Null", .nameKind = NameKind::kNullString},
                    {.name = L"Two"}},
                   eRender,
                   L"",
                   false,
                   "Playback: One -> DISABLED\r\nPlayback: Two -> DISABLED\r\n",
                   {SetCall(0, 0), SetCall(4, 0)}},
        SwitchCase{"EveryStateIsEnumerated",
                   {{.name = L"Speakers 1", .state = DEVICE_STATE_ACTIVE},
                    {.name = L"Speakers 2", .state = DEVICE_STATE_DISABLED},
                    {.name = L"Speakers 3", .state = DEVICE_STATE_NOTPRESENT},
                    {.name = L"Speakers 4", .state = DEVICE_STATE_UNPLUGGED}},
                   eRender,
                   L"Speakers",
                   true,
                   "Playback: Speakers 1 -> ENABLED\r\nPlayback: Speakers 2 -> ENABLED\r\n"
                   "Playback: Speakers 3 -> ENABLED\r\nPlayback: Speakers 4 -> ENABLED\r\n",
                   {SetCall(0, 1), SetCall(1, 1), SetCall(2, 1), SetCall(3, 1)}},
        SwitchCase{"OnlyTheChosenFlow",
                   {{.name = L"Mic Out", .flow = eRender}, {.name = L"Mic In", .flow = eCapture}},
                   eCapture,
                   L"Mic",
                   false,
                   "Recording: Mic In -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"NoEndpointsAtAll", {}, eCapture, L"Mic", true,
                   "No endpoints matched substring \"Mic\" in Recording list.\r\n", {}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// A step that fails for one endpoint leaves that endpoint out and nothing else.
INSTANTIATE_TEST_SUITE_P(
    EndpointFailures, SwitchRun,
    ::testing::Values(
        SwitchCase{"ItemFails",
                   {{.name = L"Speakers A", .itemStatus = E_FAIL}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"IdFailsAndIsLeftNull",
                   {{.name = L"Speakers A", .idStatus = E_OUTOFMEMORY, .idLeftNull = true},
                    {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        // An identifier that cannot be read is never handed to the policy object.
        SwitchCase{"IdSucceedsButIsNull",
                   {{.name = L"Speakers A", .idLeftNull = true}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"IdFailsButIsWritten",
                   {{.name = L"Speakers A", .idStatus = E_FAIL}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        // Success without an object is as good as a failure, and never used.
        SwitchCase{"ItemSucceedsWithoutDevice",
                   {{.name = L"Speakers A", .itemStatus = S_FALSE}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"PropertyStoreSucceedsWithoutStore",
                   {{.name = L"Speakers A", .openStatus = S_FALSE}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"PropertyStoreFails",
                   {{.name = L"Speakers A", .openStatus = E_ACCESSDENIED}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"NameFails",
                   {{.name = L"Speakers A", .valueStatus = E_FAIL}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false, "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"PolicyClassMissing",
                   {{.name = L"Speakers A", .policyStatus = REGDB_E_CLASSNOTREG},
                    {.name = L"Speakers B"}},
                   eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
                   "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"PolicyCreatedWithoutObject",
                   {{.name = L"Speakers A", .policyWithoutObject = true}, {.name = L"Speakers B"}},
                   eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x00000000)\r\n"
                   "Playback: Speakers B -> DISABLED\r\n",
                   {SetCall(1, 0)}},
        SwitchCase{"VisibilityRefused",
                   {{.name = L"Speakers A", .visibilityStatus = E_ACCESSDENIED},
                    {.name = L"Speakers B"}},
                   eRender, L"Speakers", true,
                   "SetEndpointVisibility failed (hr=0x80070005)\r\n"
                   "Playback: Speakers B -> ENABLED\r\n",
                   {SetCall(0, 1), SetCall(1, 1)}},
        // Failure lines first, then the no-match line, since nothing changed.
        SwitchCase{"EveryAttemptFails",
                   {{.name = L"Speakers A", .policyStatus = REGDB_E_CLASSNOTREG},
                    {.name = L"Speakers B", .visibilityStatus = E_INVALIDARG}},
                   eRender, L"Speakers", false,
                   "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
                   "SetEndpointVisibility failed (hr=0x80070057)\r\n" +
                       kNoSpeakers,
                   {SetCall(1, 0)}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// The set-up steps end the run early with their own line and no no-match line.
INSTANTIATE_TEST_SUITE_P(
    SetUpFailures, SwitchRun,
    ::testing::Values(
        SwitchCase{"EnumeratorClassMissing", {{kSpeakers}}, eRender, L"Speakers", false,
                   "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n", {},
                   PlatformFailures{.enumeratorStatus = REGDB_E_CLASSNOTREG}},
        SwitchCase{"EnumerationFails", {{kSpeakers}}, eRender, L"Speakers", false,
                   "EnumAudioEndpoints failed (hr=0x80004005)\r\n", {},
                   PlatformFailures{.enumerateStatus = E_FAIL}},
        // CoCreateInstance answers with its own success, not the factory's.
        SwitchCase{"EnumeratorCreatedWithoutObject", {{kSpeakers}}, eRender, L"Speakers", false,
                   "MMDeviceEnumerator CoCreateInstance failed (hr=0x00000000)\r\n", {},
                   PlatformFailures{.enumeratorStatus = S_FALSE}},
        SwitchCase{"EnumerationWithoutCollection", {{kSpeakers}}, eRender, L"Speakers", false,
                   "EnumAudioEndpoints failed (hr=0x00000001)\r\n", {},
                   PlatformFailures{.enumerateStatus = S_FALSE}},
        // The count's status is not examined, only what it leaves in the count.
        SwitchCase{"CountFailsAndLeavesZero", {{kSpeakers}}, eRender, L"Speakers", false,
                   kNoSpeakers, {}, PlatformFailures{.countStatus = E_FAIL}},
        SwitchCase{"CountFailsButIsWritten", {{kSpeakers}}, eRender, L"Speakers", false,
                   "Playback: Speakers (High Definition Audio) -> DISABLED\r\n", {SetCall(0, 0)},
                   PlatformFailures{.countStatus = E_FAIL, .countWrittenOnFailure = 1u}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// Names and substrings print byte for byte: U+0000..U+00FF as that byte, anything
// above as '?', and '%' as itself.
INSTANTIATE_TEST_SUITE_P(
    Encoding, SwitchRun,
    ::testing::Values(
        SwitchCase{"LatinOneAsItsByte", {{L"Haut-parleurs (R\u00E9altek)"}}, eRender, L"Haut",
                   false, "Playback: Haut-parleurs (R\xE9" "altek) -> DISABLED\r\n",
                   {SetCall(0, 0)}},
        // The match is made on the full name; only the printing loses the characters.
        SwitchCase{"AboveLatinOneAsQuestionMark", {{L"\u626C\u58F0\u5668 Speakers"}}, eRender,
                   L"\u58F0\u5668", false, "Playback: ??? Speakers -> DISABLED\r\n",
                   {SetCall(0, 0)}},
        SwitchCase{"OutsideBasicPlaneAsTwoQuestionMarks", {{L"Headset \U0001F3A7 USB"}}, eRender,
                   L"\U0001F3A7", true, "Playback: Headset ?? USB -> ENABLED\r\n",
                   {SetCall(0, 1)}},
        SwitchCase{"PercentSignsAsThemselves", {{L"100% %s %n %x Speakers"}}, eRender, L"%s",
                   false, "Playback: 100% %s %n %x Speakers -> DISABLED\r\n", {SetCall(0, 0)}},
        SwitchCase{"SubstringOfTheNoMatchLine", {{kSpeakers}}, eCapture,
                   L"caf\u00E9 \u4E2D\U0001F3A7 %d", false,
                   "No endpoints matched substring \"caf\xE9 ??? %d\" in Recording list.\r\n", {}},
        // Longer than one write to the runtime: the bytes still come out whole.
        SwitchCase{"NameLongerThanOneWrite", {{std::wstring(5000, L'x') + L" Speakers"}}, eRender,
                   L"Speakers", false,
                   "Playback: " + std::string(5000, 'x') + " Speakers -> DISABLED\r\n",
                   {SetCall(0, 0)}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });
// clang-format on

TEST(SwitchRunOrder, GivesEverythingBackInReverseOrderOfAcquisition) {
  TestApartment apartment;
  FakeAudioPlatform platform({{L"Speakers"}, {L"Microphone Array"}});
  SwitchAndCapture(eRender, L"Speakers", false);
  const std::wstring ep0 = FakeAudioPlatform::IdOf(0);
  const std::wstring ep1 = FakeAudioPlatform::IdOf(1);
  const std::vector<std::wstring> expected = {
      L"CoCreateInstance MMDeviceEnumerator",
      L"EnumAudioEndpoints flow=0 mask=0xF",
      L"GetCount",
      L"Item 0",
      L"GetId " + ep0,
      L"OpenPropertyStore " + ep0 + L" mode=0x0",
      L"GetValue " + ep0 + L" FriendlyName",
      L"CoCreateInstance PolicyConfig",
      L"SetEndpointVisibility " + ep0 + L" 0",
      L"release policy",
      L"free name " + ep0,
      L"release store " + ep0,
      L"free id " + ep0,
      L"release device " + ep0,
      L"Item 1",
      L"GetId " + ep1,
      L"OpenPropertyStore " + ep1 + L" mode=0x0",
      L"GetValue " + ep1 + L" FriendlyName",
      L"free name " + ep1,
      L"release store " + ep1,
      L"free id " + ep1,
      L"release device " + ep1,
      L"release collection",
      L"release enumerator",
  };
  EXPECT_EQ(expected, platform.Journal());
}

TEST(SwitchRunOrder, AsksForRecordingEndpointsInEveryState) {
  TestApartment apartment;
  FakeAudioPlatform platform;
  SwitchAndCapture(eCapture, L"Mic", true);
  EXPECT_EQ(std::vector<std::wstring>{L"EnumAudioEndpoints flow=1 mask=0xF"},
            CallsStartingWith(platform, L"EnumAudioEndpoints"));
}

TEST(HiddenEndpoints, AreFoundAgainByEnable) {
  TestApartment apartment;
  FakeAudioPlatform platform({{kCable}, {kSpeakers}});
  const RunResult hide = SwitchAndCapture(eRender, L"Virtual", false);
  EXPECT_TRUE(hide.changed);
  EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_DISABLED), platform.Endpoints()[0].state);
  EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_ACTIVE), platform.Endpoints()[1].state);

  const RunResult show = SwitchAndCapture(eRender, L"Virtual", true);
  EXPECT_TRUE(show.changed);
  EXPECT_EQ("Playback: " + std::string(kCable.begin(), kCable.end()) + " -> ENABLED\r\n",
            show.output);
  EXPECT_EQ(static_cast<DWORD>(DEVICE_STATE_ACTIVE), platform.Endpoints()[0].state);
  ExpectEverythingGivenBack(platform);
}

TEST(Apartment, ACoInitializeFailureIsReportedAndNothingIsCreated) {
  // A thread already in the multithreaded apartment cannot enter a single-threaded one.
  TestApartment apartment(COINIT_MULTITHREADED);
  ASSERT_EQ(S_OK, apartment.Status());
  FakeAudioPlatform platform({{kSpeakers}});
  const RunResult run = SwitchAndCapture(eRender, L"Speakers", false);
  EXPECT_FALSE(run.changed);
  EXPECT_EQ("CoInitialize failed (hr=0x80010106)\r\n", run.output);
  EXPECT_TRUE(platform.Journal().empty());
}

TEST(Apartment, IsLeftAsTheRunFoundIt) {
  {
    TestApartment apartment;
    FakeAudioPlatform platform({{kSpeakers}});
    SwitchAndCapture(eRender, L"Speakers", false);
    // Still initialised by the test: the run gave back only its own initialisation.
    TestApartment again;
    EXPECT_EQ(S_FALSE, again.Status());
  }
  // Nothing of the run's initialisation is left on the thread.
  TestApartment multithreaded(COINIT_MULTITHREADED);
  EXPECT_EQ(S_OK, multithreaded.Status());
}

}  // namespace
