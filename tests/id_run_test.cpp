#include "endpoints/visibility_switch.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulated_classes.h"

namespace {

struct IdCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  std::vector<const wchar_t*> ids;
  bool visible;
  std::string output;
  std::wstring visibilityCalls = {};
  bool allChanged = false;
  PlatformFailures failures = {};
  DWORD apartment = COINIT_APARTMENTTHREADED;  // the test's own, entered before the run
};

void PrintTo(const IdCase& row, std::ostream* out) { *out << row.title; }

class IdRun : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdRun, ChangesExactlyTheEndpointsNamedOneLineEach) {
  const IdCase& row = GetParam();
  bool allChanged = false;
  const SimulatedRun run = RunSimulated(row.endpoints, row.failures, row.apartment, [&] {
    allChanged = ApplyVisibilityToIds(row.ids, row.visible);
  });
  EXPECT_EQ(row.output, run.output);
  EXPECT_EQ(row.visibilityCalls, run.visibilityCalls);
  EXPECT_EQ(row.allChanged, allChanged);
}

// Two endpoints that no name tells apart, and a name inside another.
const std::vector<SimulatedEndpoint> kMachine = {
    {.name = L"Headset Earphone (Jabra Evolve2 65)", .id = L"{twin1}"},
    {.name = L"Headset Earphone (Jabra Evolve2 65)", .id = L"{twin2}"},
    {.name = L"Line Out", .id = L"{lo}"},
    {.name = L"Line Out (Dock)", .hidden = true, .id = L"{lod}"},
    {.name = L"Mic", .flow = eCapture, .presence = DEVICE_STATE_NOTPRESENT, .id = L"{mic}"},
};

// The machine above with one endpoint changed as `adjust` says.
template <typename Adjust>
std::vector<SimulatedEndpoint> With(size_t index, Adjust adjust) {
  std::vector<SimulatedEndpoint> endpoints = kMachine;
  adjust(endpoints[index]);
  return endpoints;
}

const std::string kTwin2Off = "Playback: Headset Earphone (Jabra Evolve2 65) -> DISABLED\r\n";
const std::string kMicOff = "Recording: Mic -> DISABLED\r\n";

// A set-up failure: its own line alone, and nothing changed.
IdCase StopsAtSetUp(const char* title, PlatformFailures failures, std::string output,
                    DWORD apartment = COINIT_APARTMENTTHREADED) {
  return {.title = title,
          .endpoints = kMachine,
          .ids = {L"{twin2}", L"{mic}"},
          .visible = false,
          .output = std::move(output),
          .failures = failures,
          .apartment = apartment};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Ids, IdRun,
    ::testing::Values(
        IdCase{.title = "OneTwinAlone", .endpoints = kMachine, .ids = {L"{twin2}"}, .visible = false,
               .output = kTwin2Off, .visibilityCalls = L"{twin2} 0", .allChanged = true},
        // Of either flow and in any state, in the order given, not the machine's.
        IdCase{.title = "SeveralInTheOrderGiven", .endpoints = kMachine,
               .ids = {L"{mic}", L"{lod}", L"{lo}"}, .visible = true,
               .output = "Recording: Mic -> ENABLED\r\nPlayback: Line Out (Dock) -> ENABLED\r\n"
                         "Playback: Line Out -> ENABLED\r\n",
               .visibilityCalls = L"{mic} 1, {lod} 1, {lo} 1", .allChanged = true},
        IdCase{.title = "UnknownAmongOthers", .endpoints = kMachine,
               .ids = {L"{twin2}", L"{gone}", L"{mic}"}, .visible = false,
               .output = kTwin2Off + "No endpoint has id \"{gone}\".\r\n" + kMicOff,
               .visibilityCalls = L"{twin2} 0, {mic} 0"},
        // Exactly as listed: no other letter case, no part of an id, nothing empty.
        IdCase{.title = "ComparedExactly", .endpoints = kMachine,
               .ids = {L"{TWIN2}", L"{twin", L"{twin2} ", L""}, .visible = false,
               .output = "No endpoint has id \"{TWIN2}\".\r\nNo endpoint has id \"{twin\".\r\n"
                         "No endpoint has id \"{twin2} \".\r\nNo endpoint has id \"\".\r\n"},
        IdCase{.title = "GivenTwiceHandledTwice", .endpoints = kMachine,
               .ids = {L"{mic}", L"{mic}"}, .visible = false, .output = kMicOff + kMicOff,
               .visibilityCalls = L"{mic} 0, {mic} 0", .allChanged = true},
        // An id names one endpoint: should two share it, the first alone is changed.
        IdCase{.title = "SharedIdChangesTheFirstOnly",
               .endpoints = {{.name = L"First", .id = L"{same}"}, {.name = L"Second", .id = L"{same}"}},
               .ids = {L"{same}"}, .visible = false, .output = "Playback: First -> DISABLED\r\n",
               .visibilityCalls = L"{same} 0", .allChanged = true},
        IdCase{.title = "PercentSignsAreNoFormat", .endpoints = {{.name = L"100% %s", .id = L"{%n}"}},
               .ids = {L"{%n}", L"%s"}, .visible = false,
               .output = "Playback: 100% %s -> DISABLED\r\nNo endpoint has id \"%s\".\r\n",
               .visibilityCalls = L"{%n} 0"}),
    [](const ::testing::TestParamInfo<IdCase>& info) { return info.param.title; });

// An endpoint whose name cannot be read is still changed, named by its id.
INSTANTIATE_TEST_SUITE_P(
    Nameless, IdRun,
    ::testing::Values(
        IdCase{.title = "NameMissing",
               .endpoints = With(4, [](SimulatedEndpoint& e) { e.nameKind = NameKind::kMissing; }),
               .ids = {L"{mic}"}, .visible = false, .output = "Recording: {mic} -> DISABLED\r\n",
               .visibilityCalls = L"{mic} 0", .allChanged = true},
        IdCase{.title = "NameNotAString",
               .endpoints = With(4, [](SimulatedEndpoint& e) { e.nameKind = NameKind::kNotAString; }),
               .ids = {L"{mic}"}, .visible = true, .output = "Recording: {mic} -> ENABLED\r\n",
               .visibilityCalls = L"{mic} 1", .allChanged = true},
        IdCase{.title = "StoreFails",
               .endpoints = With(2, [](SimulatedEndpoint& e) { e.openStatus = E_ACCESSDENIED; }),
               .ids = {L"{lo}"}, .visible = false, .output = "Playback: {lo} -> DISABLED\r\n",
               .visibilityCalls = L"{lo} 0", .allChanged = true}),
    [](const ::testing::TestParamInfo<IdCase>& info) { return info.param.title; });

// Each id stands alone: a failure is its line, and the next id is still handled.
INSTANTIATE_TEST_SUITE_P(
    Failures, IdRun,
    ::testing::Values(
        IdCase{.title = "ChangeRefused",
               .endpoints = With(0, [](SimulatedEndpoint& e) { e.visibilityStatus = E_ACCESSDENIED; }),
               .ids = {L"{twin1}", L"{twin2}"}, .visible = false,
               .output = "SetEndpointVisibility failed (hr=0x80070005)\r\n" + kTwin2Off,
               .visibilityCalls = L"{twin1} 0, {twin2} 0"},
        IdCase{.title = "PolicyClassMissing",
               .endpoints = With(4, [](SimulatedEndpoint& e) { e.policyStatus = REGDB_E_CLASSNOTREG; }),
               .ids = {L"{mic}", L"{twin2}"}, .visible = false,
               .output = "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n" + kTwin2Off,
               .visibilityCalls = L"{twin2} 0"},
        // The device of an id before it cannot be had; the walk goes on to the one named.
        IdCase{.title = "UnreadableDeviceBeforeIt",
               .endpoints = With(0, [](SimulatedEndpoint& e) { e.itemStatus = E_FAIL; }),
               .ids = {L"{twin2}"}, .visible = false, .output = kTwin2Off,
               .visibilityCalls = L"{twin2} 0", .allChanged = true}),
    [](const ::testing::TestParamInfo<IdCase>& info) { return info.param.title; });

// Both flows are enumerated before any change: a failure there changes nothing.
INSTANTIATE_TEST_SUITE_P(
    SetUp, IdRun,
    ::testing::Values(
        StopsAtSetUp("CoInitializeFails", {}, "CoInitialize failed (hr=0x80010106)\r\n",
                     COINIT_MULTITHREADED),
        StopsAtSetUp("EnumeratorClassMissing", {.enumeratorStatus = REGDB_E_CLASSNOTREG},
                     "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n"),
        StopsAtSetUp("RecordingEnumerationFails", {.captureEnumerateStatus = E_OUTOFMEMORY},
                     "EnumAudioEndpoints failed (hr=0x8007000E)\r\n")),
    [](const ::testing::TestParamInfo<IdCase>& info) { return info.param.title; });
// clang-format on

}  // namespace
