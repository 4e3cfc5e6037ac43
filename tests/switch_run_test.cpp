#include "endpoints/visibility_switch.h"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulated_classes.h"

namespace {

struct Request {
  EDataFlow flow;
  std::wstring substring;
  bool visible;
};
Request Hide(EDataFlow flow, std::wstring substring) { return {flow, std::move(substring), false}; }
Request Show(EDataFlow flow, std::wstring substring) { return {flow, std::move(substring), true}; }

struct SwitchCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  Request request;
  std::string output;
  std::wstring visibilityCalls = {};
  PlatformFailures failures = {};
  DWORD apartment = COINIT_APARTMENTTHREADED;  // the test's own, entered before the run
  // Why the row's outcome is Wine's COM's rather than the tool's, where it is:
  // such a row runs only under Wine.
  const char* onlyUnderWine = nullptr;
};

// Failures name the row, not its bytes.
void PrintTo(const SwitchCase& row, std::ostream* out) { *out << row.title; }

class SwitchRun : public ::testing::TestWithParam<SwitchCase> {};

// Each run also says it changed something exactly when it printed a result.
TEST_P(SwitchRun, ChangesAndReportsEachMatch) {
  const SwitchCase& row = GetParam();
  if (row.onlyUnderWine != nullptr && !RunningUnderWine()) {
    GTEST_SKIP() << row.onlyUnderWine;
  }
  bool changed = false;
  const SimulatedRun run = RunSimulated(row.endpoints, row.failures, row.apartment, [&] {
    changed = ApplyVisibilityToMatches(row.request.flow, row.request.substring.c_str(),
                                       row.request.visible);
  });
  EXPECT_EQ(row.output, run.output);
  EXPECT_EQ(run.output.find(" -> ") != std::string::npos, changed);
  EXPECT_EQ(row.visibilityCalls, run.visibilityCalls);
}

const std::string kBOff = "Playback: Speakers B -> DISABLED\r\n";
const std::string kNoSpeakers = "No endpoints matched substring \"Speakers\" in Playback list.\r\n";

// Endpoint A cannot be used as it answers; B beside it can, and is hidden.
SwitchCase PassesOverInSilence(const char* title, SimulatedEndpoint a) {
  a.name = L"Speakers A";
  return {.title = title,
          .endpoints = {std::move(a), {L"Speakers B"}},
          .request = Hide(eRender, L"Speakers"),
          .output = kBOff,
          .visibilityCalls = L"{ep1} 0"};
}

// The whole run fails before any endpoint is looked at, with its own line only.
SwitchCase StopsAtSetUp(const char* title, PlatformFailures failures, std::string output,
                        DWORD apartment = COINIT_APARTMENTTHREADED,
                        const char* onlyUnderWine = nullptr) {
  return {.title = title,
          .endpoints = {{L"Speakers"}},
          .request = Hide(eRender, L"Speakers"),
          .output = std::move(output),
          .failures = failures,
          .apartment = apartment,
          .onlyUnderWine = onlyUnderWine};
}

// A factory that breaks its contract (success with no object, or S_FALSE) is
// answered by Wine's CoCreateInstance with S_OK and no object; Windows' COM is
// closed and may answer otherwise, or query the missing object.
constexpr const char* kWineFactoryContract =
    "what CoCreateInstance returns for a factory that breaks its contract is Wine's answer";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Matching, SwitchRun,
    ::testing::Values(
        SwitchCase{.title = "SearchIsCaseSensitive", .endpoints = {{L"Speakers"}},
                   .request = Hide(eRender, L"speakers"),
                   .output = "No endpoints matched substring \"speakers\" in Playback list.\r\n"},
        SwitchCase{.title = "WholeNameAndLastCharacterMatch",
                   .endpoints = {{L"Speakers"}, {L"Speaker"}}, .request = Hide(eRender, L"Speakers"),
                   .output = "Playback: Speakers -> DISABLED\r\n", .visibilityCalls = L"{ep0} 0"},
        SwitchCase{.title = "EveryMatchInCollectionOrder",
                   .endpoints = {{L"Speakers B"}, {L"Headphones"}, {L"Speakers A"}},
                   .request = Show(eRender, L"Speakers"),
                   .output = "Playback: Speakers B -> ENABLED\r\nPlayback: Speakers A -> ENABLED\r\n",
                   .visibilityCalls = L"{ep0} 1, {ep2} 1"},
        // Every name, the empty one too, but never a name that is not there.
        SwitchCase{.title = "EmptySubstringMatchesEveryName",
                   .endpoints = {{L"One"}, {L""}, {.name = L"N", .nameKind = NameKind::kNullString},
                                 {.name = L"M", .nameKind = NameKind::kMissing}},
                   .request = Hide(eRender, L""),
                   .output = "Playback: One -> DISABLED\r\nPlayback:  -> DISABLED\r\n",
                   .visibilityCalls = L"{ep0} 0, {ep1} 0"},
        // Hidden ones too, so that enable finds again what disable hid.
        SwitchCase{.title = "EveryStateIsEnumerated",
                   .endpoints = {{.name = L"S1"}, {.name = L"S2", .hidden = true},
                                 {.name = L"S3", .presence = DEVICE_STATE_NOTPRESENT},
                                 {.name = L"S4", .presence = DEVICE_STATE_UNPLUGGED}},
                   .request = Show(eRender, L"S"),
                   .output = "Playback: S1 -> ENABLED\r\nPlayback: S2 -> ENABLED\r\n"
                             "Playback: S3 -> ENABLED\r\nPlayback: S4 -> ENABLED\r\n",
                   .visibilityCalls = L"{ep0} 1, {ep1} 1, {ep2} 1, {ep3} 1"},
        SwitchCase{.title = "OnlyTheChosenFlow",
                   .endpoints = {{.name = L"Mic Out", .flow = eRender},
                                 {.name = L"Mic In", .flow = eCapture}},
                   .request = Hide(eCapture, L"Mic"), .output = "Recording: Mic In -> DISABLED\r\n",
                   .visibilityCalls = L"{ep1} 0"},
        SwitchCase{.title = "NoEndpointsAtAll", .endpoints = {}, .request = Show(eCapture, L"Mic"),
                   .output = "No endpoints matched substring \"Mic\" in Recording list.\r\n"},
        // The match is made on the whole name, though it prints as the console can show it.
        SwitchCase{.title = "MatchedOnTheFullName", .endpoints = {{L"Haut-parleurs \u626C\u58F0"}},
                   .request = Hide(eRender, L"\u58F0"),
                   .output = "Playback: Haut-parleurs ?? -> DISABLED\r\n",
                   .visibilityCalls = L"{ep0} 0"},
        SwitchCase{.title = "NameEndsAtItsNul",
                   .endpoints = {{std::wstring(L"before\0after", 12)}, {L"after"}},
                   .request = Hide(eRender, L"after"), .output = "Playback: after -> DISABLED\r\n",
                   .visibilityCalls = L"{ep1} 0"}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// Each endpoint stands alone; one that cannot be read is passed over in silence.
INSTANTIATE_TEST_SUITE_P(
    EndpointFailures, SwitchRun,
    ::testing::Values(
        PassesOverInSilence("ItemFails", {.itemStatus = E_FAIL}),
        // What a failed call leaves behind is neither used nor released.
        PassesOverInSilence("ItemFailsButWritesADevice",
                            {.itemStatus = E_FAIL, .deviceWrittenOnFailure = true}),
        // Success without an object is as good as a failure, and never used.
        PassesOverInSilence("ItemSucceedsWithoutDevice", {.itemStatus = S_FALSE}),
        // An identifier that cannot be read is never handed to the policy object.
        PassesOverInSilence("IdFailsAndIsLeftNull", {.idStatus = E_OUTOFMEMORY, .idLeftNull = true}),
        PassesOverInSilence("IdSucceedsButIsNull", {.idLeftNull = true}),
        PassesOverInSilence("IdFailsButIsWritten", {.idStatus = E_FAIL}),
        PassesOverInSilence("StoreFails", {.openStatus = E_ACCESSDENIED}),
        PassesOverInSilence("StoreSucceedsWithoutStore", {.openStatus = S_FALSE}),
        // The store fills the value even so: a failed call's value is never read.
        PassesOverInSilence("NameFails", {.valueStatus = E_FAIL}),
        PassesOverInSilence("NameMissing", {.nameKind = NameKind::kMissing}),
        PassesOverInSilence("NameNotAString", {.nameKind = NameKind::kNotAString}),
        PassesOverInSilence("NameIsNull", {.nameKind = NameKind::kNullString}),
        // A success other than S_OK is a success.
        SwitchCase{.title = "NameReadWithOtherSuccess",
                   .endpoints = {{.name = L"Speakers A", .valueStatus = S_FALSE}, {L"Speakers B"}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "Playback: Speakers A -> DISABLED\r\n" + kBOff,
                   .visibilityCalls = L"{ep0} 0, {ep1} 0"},
        SwitchCase{.title = "VisibilityChangedWithOtherSuccess",
                   .endpoints = {{.name = L"Speakers", .visibilityStatus = S_FALSE}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "Playback: Speakers -> DISABLED\r\n", .visibilityCalls = L"{ep0} 0"},
        SwitchCase{.title = "PolicyClassMissing",
                   .endpoints = {{.name = L"Speakers A", .policyStatus = REGDB_E_CLASSNOTREG},
                                 {L"Speakers B"}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n" + kBOff,
                   .visibilityCalls = L"{ep1} 0"},
        SwitchCase{.title = "PolicyCreatedWithoutObject",
                   .endpoints = {{.name = L"Speakers A", .policyWithoutObject = true},
                                 {L"Speakers B"}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "PolicyConfig CoCreateInstance failed (hr=0x00000000)\r\n" + kBOff,
                   .visibilityCalls = L"{ep1} 0", .onlyUnderWine = kWineFactoryContract},
        SwitchCase{.title = "VisibilityRefused",
                   .endpoints = {{.name = L"Speakers A", .visibilityStatus = E_ACCESSDENIED},
                                 {L"Speakers B"}},
                   .request = Show(eRender, L"Speakers"),
                   .output = "SetEndpointVisibility failed (hr=0x80070005)\r\n"
                             "Playback: Speakers B -> ENABLED\r\n",
                   .visibilityCalls = L"{ep0} 1, {ep1} 1"},
        // Failure lines first, then the no-match line, since nothing changed.
        SwitchCase{.title = "EveryAttemptFails",
                   .endpoints = {{.name = L"Speakers A", .policyStatus = REGDB_E_CLASSNOTREG},
                                 {.name = L"Speakers B", .visibilityStatus = E_INVALIDARG}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
                             "SetEndpointVisibility failed (hr=0x80070057)\r\n" + kNoSpeakers,
                   .visibilityCalls = L"{ep1} 0"}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });

// Set-up failures end the run with their own line; the count's status is not examined.
INSTANTIATE_TEST_SUITE_P(
    SetUp, SwitchRun,
    ::testing::Values(
        // A thread in the multithreaded apartment cannot enter a single-threaded one.
        StopsAtSetUp("CoInitializeFails", {}, "CoInitialize failed (hr=0x80010106)\r\n",
                     COINIT_MULTITHREADED),
        StopsAtSetUp("EnumeratorClassMissing", {.enumeratorStatus = REGDB_E_CLASSNOTREG},
                     "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n"),
        // CoCreateInstance answers with its own success, not the factory's.
        StopsAtSetUp("EnumeratorCreatedWithoutObject", {.enumeratorStatus = S_FALSE},
                     "MMDeviceEnumerator CoCreateInstance failed (hr=0x00000000)\r\n",
                     COINIT_APARTMENTTHREADED, kWineFactoryContract),
        StopsAtSetUp("EnumerationFails", {.enumerateStatus = E_UNEXPECTED},
                     "EnumAudioEndpoints failed (hr=0x8000FFFF)\r\n"),
        StopsAtSetUp("EnumerationWithoutCollection", {.enumerateStatus = S_FALSE},
                     "EnumAudioEndpoints failed (hr=0x00000001)\r\n"),
        SwitchCase{.title = "CountFailsAndLeavesZero", .endpoints = {{L"Speakers"}},
                   .request = Hide(eRender, L"Speakers"), .output = kNoSpeakers,
                   .failures = {.countStatus = E_FAIL}},
        SwitchCase{.title = "CountFailsButIsWritten", .endpoints = {{L"Speakers A"}, {L"Speakers B"}},
                   .request = Hide(eRender, L"Speakers"),
                   .output = "Playback: Speakers A -> DISABLED\r\n" + kBOff,
                   .visibilityCalls = L"{ep0} 0, {ep1} 0",
                   .failures = {.countStatus = E_FAIL, .countWrittenOnFailure = 2u}}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.title; });
// clang-format on

}  // namespace
