#include "endpoints/visibility_switch.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <ostream>
#include <string>
#include <vector>

#include <objbase.h>

#include <gtest/gtest.h>

#include "simulator/simulated_platform.h"
#include "simulator/whole_file.h"

namespace {

// The platform's two classes, registered for this process under the identities
// Windows uses, so the tool's CoCreateInstance calls reach them and never the
// machine's devices. The registrations hold the factories' only references.
class ClassRegistration {
 public:
  explicit ClassRegistration(SimulatedPlatform& platform) {
    Register(__uuidof(MMDeviceEnumerator), platform, SimulatedClass::kEnumerator, enumerator_);
    Register(kSimulatedPolicyConfigClass, platform, SimulatedClass::kPolicyConfig, policy_);
  }
  ~ClassRegistration() {
    CoRevokeClassObject(enumerator_);
    CoRevokeClassObject(policy_);
  }

 private:
  static void Register(REFCLSID id, SimulatedPlatform& platform, SimulatedClass made,
                       DWORD& cookie) {
    IClassFactory* factory = platform.NewClassFactory(made);
    EXPECT_EQ(S_OK, CoRegisterClassObject(id, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                          &cookie));
    factory->Release();
  }
  DWORD enumerator_ = 0;
  DWORD policy_ = 0;
};

// Every byte written to standard output until Finish, exactly as the C
// runtime's text-mode stream writes it.
class StdoutCapture {
 public:
  StdoutCapture() {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"qvo", 0, file);
    path_ = file;
    (void)std::fflush(stdout);
    const int captured = _wopen(file, _O_WRONLY | _O_TRUNC | _O_TEXT);
    saved_ = _dup(_fileno(stdout));
    _dup2(captured, _fileno(stdout));
    _close(captured);
  }
  std::string Finish() {
    (void)std::fflush(stdout);
    _dup2(saved_, _fileno(stdout));
    _close(saved_);
    std::string bytes = ReadWholeFile(path_).value_or("");
    DeleteFileW(path_.c_str());
    return bytes;
  }

 private:
  std::wstring path_;
  int saved_ = -1;
};

class TestApartment {
 public:
  explicit TestApartment(DWORD mode = COINIT_APARTMENTTHREADED)
      : status_(CoInitializeEx(nullptr, mode)) {}
  ~TestApartment() {
    if (SUCCEEDED(status_)) {
      CoUninitialize();
    }
  }
  HRESULT Status() const { return status_; }

 private:
  HRESULT status_;
};

struct SwitchCase {
  const char* title;
  std::vector<SimulatedEndpoint> endpoints;
  EDataFlow flow;
  std::wstring substring;
  bool visible;
  std::string output;
  std::wstring visibilityCalls;
  PlatformFailures failures = {};
  DWORD apartment = COINIT_APARTMENTTHREADED;  // the test's own, entered before the run
};

// Failures name the row, not its bytes.
void PrintTo(const SwitchCase& row, std::ostream* out) { *out << row.title; }

class SwitchRun : public ::testing::TestWithParam<SwitchCase> {};

// Each run must also give back everything it took exactly once, say it changed
// something exactly when it printed a result, and leave COM on the thread as it
// found it.
TEST_P(SwitchRun, ChangesAndReportsEachMatch) {
  const SwitchCase& row = GetParam();
  {
    TestApartment apartment(row.apartment);
    SimulatedPlatform platform(row.endpoints, row.failures);
    ClassRegistration registration(platform);
    StdoutCapture capture;
    const bool changed = ApplyVisibilityToMatches(row.flow, row.substring.c_str(), row.visible);
    const std::string output = capture.Finish();
    EXPECT_EQ(row.output, output);
    EXPECT_EQ(output.find(" -> ") != std::string::npos, changed);
    EXPECT_EQ(std::vector<std::wstring>{}, platform.Ledger()) << "not given back exactly once";
    std::wstring calls;  // "{ep1} 0, {ep2} 0": the identifier and value of each call
    const std::wstring call = L"SetEndpointVisibility ";
    for (const std::wstring& entry : platform.Journal()) {
      if (entry.rfind(call, 0) == 0) {
        calls += (calls.empty() ? L"" : L", ") + entry.substr(call.size());
      }
    }
    EXPECT_EQ(row.visibilityCalls, calls);
    // The run gave back only its own initialisation: the test's is still there.
    EXPECT_EQ(S_FALSE, TestApartment(row.apartment).Status());
  }
  EXPECT_EQ(S_OK, TestApartment(COINIT_MULTITHREADED).Status()) << "COM left initialised";
}

const std::wstring kSpeakers = L"Speakers (High Definition Audio)";
const std::string kSpeakersOff = "Playback: Speakers (High Definition Audio) -> DISABLED\r\n";
const std::string kBOff = "Playback: Speakers B -> DISABLED\r\n";
const std::string kNoSpeakers = "No endpoints matched substring \"Speakers\" in Playback list.\r\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Matching, SwitchRun,
    ::testing::Values(
        SwitchCase{"SearchIsCaseSensitive", {{L"Speakers"}}, eRender, L"speakers", false,
                   "No endpoints matched substring \"speakers\" in Playback list.\r\n", L""},
        SwitchCase{"WholeNameAndLastCharacterMatch", {{L"Speakers"}, {L"Speaker"}}, eRender,
                   L"Speakers", false, "Playback: Speakers -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"EveryMatchInCollectionOrder", {{L"Speakers B"}, {L"Headphones"},
                   {L"Speakers A"}}, eRender, L"Speakers", true,
                   "Playback: Speakers B -> ENABLED\r\nPlayback: Speakers A -> ENABLED\r\n",
                   L"{ep0} 1, {ep2} 1"},
        // Every name, the empty one too, but never a name that is not there.
        SwitchCase{"EmptySubstringMatchesEveryName", {{L"One"}, {L""}, {.name = L"N",
                   .nameKind = NameKind::kNullString}, {.name = L"M", .nameKind =
                   NameKind::kMissing}}, eRender, L"", false,
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
        // A thread in the multithreaded apartment cannot enter a single-threaded one.
        SwitchCase{"CoInitializeFails", {{kSpeakers}}, eRender, L"Speakers", false,
                   "CoInitialize failed (hr=0x80010106)\r\n", L"", {}, COINIT_MULTITHREADED},
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
        SwitchCase{"LatinOneAsItsByteAndAboveAsQuestionMark", {{L"R\u00E9altek \u0080\u00FF\u0100 "
                   L"\u626C\u58F0\u5668"}}, eRender, L"\u58F0\u5668", false,
                   "Playback: R\xE9" "altek \x80\xFF? ??? -> DISABLED\r\n", L"{ep0} 0"},
        SwitchCase{"OutsideBasicPlaneAndUnpairedHalves", {{L"Headset \U0001F3A7 \xD800|\xDFFF"}},
                   eRender, L"\U0001F3A7", true, "Playback: Headset ?? ?|? -> ENABLED\r\n",
                   L"{ep0} 1"},
        SwitchCase{"PercentSignsAndControlCharactersAsThemselves", {{L"100% %s %n %08X\t\r\n\x07"}},
                   eRender, L"%s", false, "Playback: 100% %s %n %08X\t\r\r\n\x07 -> DISABLED\r\n",
                   L"{ep0} 0"},
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

}  // namespace
