// The real, release-built Quorvane.exe, started as a user's script would start
// it, against the simulated audio stack that this prefix registers in place of
// Wine's own: the bytes on standard output, the exit status, the calls made on
// the platform and what was never given back.

#include <ostream>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"
#include "tests/usage_text.h"

namespace {

const std::string kMachine =
    "# A small machine: two playback endpoints that share a word, one hidden\n"
    "endpoint render active {r1} Speakers (High Definition Audio)\n"
    "endpoint render active {r2} Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\n"
    "endpoint render disabled {r3} HDMI Output (NVIDIA High Definition Audio)\n"
    "endpoint capture active {c1} Cable Output - Virtual Microphone (VB-Audio Virtual Cable)\n"
    "endpoint capture unplugged {c2} Microphone (USB Audio Device)\n";

const std::string kSpeakersOff = "Playback: Speakers (High Definition Audio) -> DISABLED\r\n";
const std::string kCableOff =
    "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED\r\n";

struct CommandCase {
  const char* title;
  std::string machine;
  const wchar_t* arguments;
  std::string output;
  DWORD exitCode;
};

// Failures name the row, not its bytes.
void PrintTo(const CommandCase& row, std::ostream* out) { *out << row.title; }

class EndToEnd : public ::testing::TestWithParam<CommandCase> {};

TEST_P(EndToEnd, PrintsExactBytesAndExitsWithTheStatus) {
  const CommandCase& row = GetParam();
  SimulatedMachineFiles files(row.machine);
  const Outcome outcome = files.Run(row.arguments);
  EXPECT_EQ(row.output, outcome.output);
  EXPECT_EQ(row.exitCode, outcome.exitCode);
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger) << "given back not exactly once";
  if (row.exitCode == 1) {
    EXPECT_EQ(std::vector<std::string>{}, outcome.journal) << "usage reached the platform";
  } else {
    EXPECT_EQ(1u, Starting(outcome.journal, "CoCreateInstance MMDeviceEnumerator").size());
  }
}

std::string NoMatch(const std::string& substring, const char* list = "Playback") {
  return "No endpoints matched substring \"" + substring + "\" in " + list + " list.\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Usage, EndToEnd,
    ::testing::Values(
        CommandCase{"NoArguments", kMachine, L"", kUsageBytes, 1},
        CommandCase{"TwoArguments", kMachine, L"disable render", kUsageBytes, 1},
        CommandCase{"UnknownAction", kMachine, L"mute render Speakers", kUsageBytes, 1},
        CommandCase{"NoOptions", kMachine, L"/? render Speakers", kUsageBytes, 1},
        CommandCase{"AbbreviatedFlow", kMachine, L"disable rec Speakers", kUsageBytes, 1}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

// The substring as the runtime's start-up code splits it, shown back by the
// no-match line of a machine without endpoints.
INSTANTIATE_TEST_SUITE_P(
    Splitting, EndToEnd,
    ::testing::Values(
        CommandCase{"QuotedSpaces", "", L"disable render \"USB Mic\"", NoMatch("USB Mic"), 2},
        CommandCase{"RunsOfBlanksSeparate", "", L"disable \t render  \t Mic  ", NoMatch("Mic"), 2},
        CommandCase{"QuoteInsideAWord", "", L"disable render Spe\"ak ers\"", NoMatch("Speak ers"),
                    2},
        CommandCase{"EmptyQuoted", "", L"disable render \"\"", NoMatch(""), 2},
        CommandCase{"DoubledQuoteInsideQuotes", "", L"disable render \"Say \"\"hi\"\"\"",
                    NoMatch("Say \"hi\""), 2},
        CommandCase{"BackslashQuoteIsAQuote", "", L"disable render Say\\\"hi\\\"",
                    NoMatch("Say\"hi\""), 2},
        CommandCase{"EvenBackslashesBeforeAQuoteHalve", "",
                    L"disable render \"C:\\Program Files\\\\\"", NoMatch("C:\\Program Files\\"), 2},
        CommandCase{"FourBackslashesThenQuote", "", L"disable render a\\\\\\\\\"b c\"",
                    NoMatch("a\\\\b c"), 2},
        CommandCase{"OtherBackslashesAreLiteral", "", L"disable render back\\slash\\\\",
                    NoMatch("back\\slash\\\\"), 2},
        CommandCase{"FurtherWordsIgnored", "", L"enable capture Mic and \"more words\"",
                    NoMatch("Mic", "Recording"), 2}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

INSTANTIATE_TEST_SUITE_P(
    Matching, EndToEnd,
    ::testing::Values(
        CommandCase{"EveryMatchInOrder", kMachine, L"disable render Speakers",
                    kSpeakersOff + kCableOff, 0},
        CommandCase{"SpellingsAndHiddenEndpoint", kMachine, L"ENABLE Playback HDMI",
                    "Playback: HDMI Output (NVIDIA High Definition Audio) -> ENABLED\r\n", 0},
        CommandCase{"RecordingLabel", kMachine, L"Disable CAPTURE Virtual",
                    "Recording: Cable Output - Virtual Microphone (VB-Audio Virtual Cable) -> "
                    "DISABLED\r\n",
                    0},
        CommandCase{"UnpluggedEndpointToo", kMachine, L"enable record Microphone",
                    "Recording: Cable Output - Virtual Microphone (VB-Audio Virtual Cable) -> "
                    "ENABLED\r\nRecording: Microphone (USB Audio Device) -> ENABLED\r\n",
                    0},
        CommandCase{"CaseSensitive", kMachine, L"disable recording microphone",
                    NoMatch("microphone", "Recording"), 2},
        CommandCase{"OtherFlowOnly", kMachine, L"disable playback Microphone",
                    NoMatch("Microphone"), 2},
        CommandCase{"UnreadableNamesSkipped",
                    "endpoint render active {a} <none>\n"
                    "endpoint render active {b} <number>\n"
                    "endpoint render active {c} <null>\n"
                    "endpoint render active {d} Line In\n",
                    L"disable render \"\"", "Playback: Line In -> DISABLED\r\n", 0}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

INSTANTIATE_TEST_SUITE_P(
    Failures, EndToEnd,
    ::testing::Values(
        CommandCase{"EnumeratorClassMissing", kMachine + "fail enumerator 0x80040154\n",
                    L"disable render Speakers",
                    "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n", 2},
        CommandCase{"EnumerationRefused", kMachine + "fail enumerate 0x80070005\n",
                    L"disable render Speakers", "EnumAudioEndpoints failed (hr=0x80070005)\r\n", 2},
        CommandCase{"CountFails", kMachine + "fail count 0x80004005\n", L"disable render Speakers",
                    NoMatch("Speakers"), 2},
        CommandCase{"CountFailsButIsWritten", kMachine + "fail count 0x80004005 written=1\n",
                    L"disable render Speakers", kSpeakersOff, 0},
        CommandCase{"ItemFails", kMachine + "fail item 0x80004005 {r1}\n",
                    L"disable render Speakers", kCableOff, 0},
        CommandCase{"IdFails", kMachine + "fail id 0x8007000E {r1}\n", L"disable render Speakers",
                    kCableOff, 0},
        CommandCase{"IdNullWithSuccess", kMachine + "fail id 0 {r1}\n", L"disable render Speakers",
                    kCableOff, 0},
        CommandCase{"StoreFails", kMachine + "fail open 0x80070005 {r1}\n",
                    L"disable render Speakers", kCableOff, 0},
        CommandCase{"NameFails", kMachine + "fail value 0x80004005 {r1}\n",
                    L"disable render Speakers", kCableOff, 0},
        CommandCase{"PolicyFailsBesideSuccess", kMachine + "fail policy 0x80040154 {r1}\n",
                    L"disable render Speakers",
                    "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n" + kCableOff, 0},
        CommandCase{"PolicyWithoutObject", kMachine + "fail policy-empty {r2}\n",
                    L"disable render Speakers",
                    kSpeakersOff + "PolicyConfig CoCreateInstance failed (hr=0x00000000)\r\n", 0},
        CommandCase{"EveryAttemptFails", kMachine + "fail visibility 0x80070005\n",
                    L"disable render Speakers",
                    "SetEndpointVisibility failed (hr=0x80070005)\r\n"
                    "SetEndpointVisibility failed (hr=0x80070005)\r\n" +
                        NoMatch("Speakers"),
                    2}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

// Names and substrings byte for byte: U+0000..U+00FF as that byte, anything
// above as '?', and '%' as itself.
const std::string kForeignNames =
    "endpoint render active {e1} Haut-parleurs (R\xC3\xA9"
    "altek)\n"
    "endpoint render active {e2} \xE6\x89\xAC\xE5\xA3\xB0\xE5\x99\xA8 (USB)\n"
    "endpoint render active {e3} Headset \xF0\x9F\x8E\xA7\n"
    "endpoint render active {e4} 100% %s %n %x\n";

INSTANTIATE_TEST_SUITE_P(
    Encoding, EndToEnd,
    ::testing::Values(CommandCase{"Names", kForeignNames, L"enable render \"\"",
                                  "Playback: Haut-parleurs (R\xE9"
                                  "altek) -> ENABLED\r\n"
                                  "Playback: ??? (USB) -> ENABLED\r\n"
                                  "Playback: Headset ?? -> ENABLED\r\n"
                                  "Playback: 100% %s %n %x -> ENABLED\r\n",
                                  0},
                      CommandCase{"MatchOnTheFullName", kForeignNames,
                                  L"disable render \u58F0\u5668",
                                  "Playback: ??? (USB) -> DISABLED\r\n", 0},
                      CommandCase{"PercentInSubstring", kForeignNames, L"disable render %s",
                                  "Playback: 100% %s %n %x -> DISABLED\r\n", 0},
                      CommandCase{"NoMatchSubstring", kForeignNames,
                                  L"disable render \"caf\u00E9 \u4E2D\U0001F3A7 %d\"",
                                  NoMatch("caf\xE9 ??? %d"), 2}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

TEST(SimulatedMachine, HiddenEndpointIsFoundAgainByEnable) {
  SimulatedMachineFiles files(kMachine);
  const Outcome hide = files.Run(L"disable render \"Input - Virtual\"");
  EXPECT_EQ(kCableOff, hide.output);
  EXPECT_NE(std::string::npos, hide.machineAfter.find("endpoint render disabled {r2} "));

  const Outcome show = files.Run(L"enable render \"Input - Virtual\"");
  EXPECT_EQ("Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> ENABLED\r\n",
            show.output);
  EXPECT_EQ(0u, show.exitCode);
  EXPECT_EQ(kMachine, show.machineAfter);
  EXPECT_EQ(std::vector<std::string>{}, show.ledger);
}

TEST(SimulatedMachine, EverythingIsGivenBackInReverseOrder) {
  SimulatedMachineFiles files("endpoint render active {r1} Speakers\n");
  const Outcome outcome = files.Run(L"disable render Speakers");
  const std::vector<std::string> expected = {"CoCreateInstance MMDeviceEnumerator",
                                             "EnumAudioEndpoints flow=0 mask=0xF",
                                             "GetCount",
                                             "Item 0",
                                             "GetId {r1}",
                                             "OpenPropertyStore {r1} mode=0x0",
                                             "GetValue {r1} FriendlyName",
                                             "CoCreateInstance PolicyConfig",
                                             "SetEndpointVisibility {r1} 0",
                                             "release policy",
                                             "free name {r1}",
                                             "release store {r1}",
                                             "free id {r1}",
                                             "release device {r1}",
                                             "release collection",
                                             "release enumerator"};
  EXPECT_EQ(expected, outcome.journal);
}

std::string ManySpeakers(int count) {
  std::string machine;
  for (int index = 0; index < count; ++index) {
    machine += "endpoint render active {s" + std::to_string(index) + "} Speakers " +
               std::to_string(index) + "\n";
  }
  return machine;
}

std::string ManySpeakersOff(int count) {
  std::string output;
  for (int index = 0; index < count; ++index) {
    output += "Playback: Speakers " + std::to_string(index) + " -> DISABLED\r\n";
  }
  return output;
}

// Far beyond one 4096-byte buffer: every line present, whole and in order.
TEST(SimulatedMachine, ThousandsOfMatchesToAPipe) {
  SimulatedMachineFiles files(ManySpeakers(3000));
  const Outcome outcome = files.Run(L"disable render Speakers");
  EXPECT_EQ(ManySpeakersOff(3000), outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

TEST(SimulatedMachine, ThousandsOfMatchesToAFile) {
  SimulatedMachineFiles files(ManySpeakers(3000));
  const Outcome outcome = files.Run(L"disable render Speakers", StandardOutput::kFile);
  EXPECT_EQ(ManySpeakersOff(3000), outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
}

// Nobody reading the output changes nothing about what is done or the status.
TEST(SimulatedMachine, ClosedStandardOutputChangesNothing) {
  SimulatedMachineFiles files(kMachine);
  const Outcome outcome = files.Run(L"disable render Speakers", StandardOutput::kClosed);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(2u, Starting(outcome.journal, "SetEndpointVisibility").size());
  EXPECT_NE(std::string::npos, outcome.machineAfter.find("endpoint render disabled {r1} "));
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

}  // namespace
