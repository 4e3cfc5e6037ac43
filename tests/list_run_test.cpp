#include "endpoints/endpoint_listing.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulated_classes.h"

namespace {

struct ListCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  std::vector<EDataFlow> flows;
  std::optional<std::wstring> substring = std::nullopt;  // none: every endpoint
  std::string output;
  bool listed = true;
  PlatformFailures failures = {};
  // As -utf8 writes it, where that differs: names beyond ASCII.
  std::optional<std::string> utf8Output = std::nullopt;
};

void PrintTo(const ListCase& row, std::ostream* out) { *out << row.title; }

class ListRun : public ::testing::TestWithParam<ListCase> {};

// A listing only looks: it never makes a policy object. Each row runs as
// captured output is written by default and with -utf8.
TEST_P(ListRun, ListsWhatQuorvaneSees) {
  const ListCase& row = GetParam();
  for (const bool utf8 : {false, true}) {
    SCOPED_TRACE(utf8 ? "-utf8" : "Latin-1");
    bool listed = false;
    const SimulatedRun run =
        RunSimulated(row.endpoints, row.failures, COINIT_APARTMENTTHREADED, [&] {
          listed = ListEndpoints(row.flows, row.substring ? row.substring->c_str() : nullptr,
                                 utf8 ? Utf8Bytes : LatinOneBytes);
        });
    EXPECT_EQ(utf8 ? row.utf8Output.value_or(row.output) : row.output, run.output);
    EXPECT_EQ(row.listed, listed);
    for (const std::wstring& entry : run.callLog) {
      EXPECT_EQ(std::wstring::npos, entry.find(L"policy")) << "a listing made a policy object";
    }
  }
}

// Each way of not giving a name, beside one whose identifier or device cannot be had.
const std::vector<SimulatedEndpoint> kUnreadable = {
    {.name = L"Store", .openStatus = E_ACCESSDENIED},
    {.name = L"No store", .openStatus = S_FALSE},
    {.name = L"Value", .valueStatus = E_FAIL},
    {.name = L"Missing", .nameKind = NameKind::kMissing},
    {.name = L"Number", .nameKind = NameKind::kNotAString},
    {.name = L"Null", .nameKind = NameKind::kNullString},
    {.name = L"Item", .itemStatus = E_FAIL, .deviceWrittenOnFailure = true},
    {.name = L"No device", .itemStatus = S_FALSE},
    {.name = L"Id", .idStatus = E_OUTOFMEMORY, .idLeftNull = true},
    {.name = L"Null id", .idLeftNull = true},
    {.name = L"Id written", .idStatus = E_FAIL},
    {L"Named"},
    {L""},
};

std::string Line(const char* state, int index, const std::string& name) {
  return std::string("Playback\t") + state + "\t{ep" + std::to_string(index) + "}\t" + name +
         "\r\n";
}

ListCase StopsAtSetUp(const char* title, PlatformFailures failures, std::string output) {
  return {.title = title,
          .endpoints = {{L"Speakers"}},
          .flows = {eRender, eCapture},
          .output = std::move(output),
          .listed = false,
          .failures = failures};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Listing, ListRun,
    ::testing::Values(
        // The simulator reports a hidden endpoint as disabled whatever its
        // presence; each state the device gives has its word.
        ListCase{.title = "EveryStateByItsWord",
                 .endpoints = {{.name = L"A"}, {.name = L"H", .hidden = true},
                               {.name = L"N", .presence = DEVICE_STATE_NOTPRESENT},
                               {.name = L"U", .presence = DEVICE_STATE_UNPLUGGED},
                               {.name = L"HU", .presence = DEVICE_STATE_UNPLUGGED, .hidden = true},
                               {.name = L"S", .stateStatus = E_FAIL}},
                 .flows = {eRender},
                 .output = Line("active", 0, "A") + Line("disabled", 1, "H") +
                           Line("notpresent", 2, "N") + Line("unplugged", 3, "U") +
                           Line("disabled", 4, "HU") + Line("unknown", 5, "S")},
        ListCase{.title = "PlaybackFirstThenRecording",
                 .endpoints = {{.name = L"Mic", .flow = eCapture}, {.name = L"Out"}},
                 .flows = {eRender, eCapture},
                 .output = "Playback\tactive\t{ep1}\tOut\r\n"
                           "Recording\tactive\t{ep0}\tMic\r\n"},
        // Seen with an empty name, so that it can be found; without an id, passed over.
        ListCase{.title = "NamelessShownWithoutSubstring", .endpoints = kUnreadable,
                 .flows = {eRender},
                 .output = Line("active", 0, "") + Line("active", 1, "") + Line("active", 2, "") +
                           Line("active", 3, "") + Line("active", 4, "") + Line("active", 5, "") +
                           Line("active", 11, "Named") + Line("active", 12, "")},
        // Even the empty substring never matches a name that is not there.
        ListCase{.title = "WithSubstringOnlyWhatQuorvaneWouldChange", .endpoints = kUnreadable,
                 .flows = {eRender}, .substring = L"",
                 .output = Line("active", 11, "Named") + Line("active", 12, "")},
        ListCase{.title = "SameCaseSensitiveMatchOnTheWholeName",
                 .endpoints = {{L"Speakers"}, {L"loudspeakers \u58F0"}, {L"Mic"}},
                 .flows = {eRender}, .substring = L"speakers \u58F0",
                 .output = Line("active", 1, "loudspeakers ?"),
                 .utf8Output = Line("active", 1, "loudspeakers \xE5\xA3\xB0")},
        ListCase{.title = "NothingMatchedIsStillAListing", .endpoints = {{L"Speakers"}},
                 .flows = {eCapture}, .substring = L"Speakers", .output = ""}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return info.param.title; });

// It could not ask: the failure line as Quorvane prints it, and the listing
// reported as failed. Every kind of set-up failure is the walk's, which the
// switch run's tests go through.
INSTANTIATE_TEST_SUITE_P(
    SetUp, ListRun,
    ::testing::Values(
        StopsAtSetUp("EnumeratorClassMissing", {.enumeratorStatus = REGDB_E_CLASSNOTREG},
                     "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n"),
        // Every flow is enumerated before a line is printed, so a listing that
        // failed holds no endpoint's line.
        StopsAtSetUp("RecordingEnumerationFails", {.captureEnumerateStatus = E_OUTOFMEMORY},
                     "EnumAudioEndpoints failed (hr=0x8007000E)\r\n")),
    [](const ::testing::TestParamInfo<ListCase>& info) { return info.param.title; });
// clang-format on

}  // namespace
