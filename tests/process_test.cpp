// The release-built Quorvane.exe as a script starts it, against the simulator
// the test prefix registers: what only a whole process shows.

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

// The usage text exactly as it reaches a file or a pipe: CR LF line ends.
const char kUsageBytes[] =
    "Usage:\r\n"
    "  Quorvane.exe enable|disable render|capture \"Name substring\"\r\n"
    "\r\n"
    "Examples:\r\n"
    "  Quorvane.exe disable render  \"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\"\r\n"
    "  Quorvane.exe enable  capture \"Cable Output - Virtual Microphone (VB-Audio Virtual "
    "Cable)\"\r\n";

const std::string kMachine =
    "endpoint render active shown {r1} Speakers (High Definition Audio)\n"
    "endpoint render active shown {r2} Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\n"
    "endpoint capture unplugged shown {c1} Line In (Realtek(R) Audio)\n";

// The call log's lines that start with `prefix`.
std::string Lines(const std::string& callLog, const std::string& prefix) {
  std::string kept;
  for (size_t at = 0; at < callLog.size();) {
    const size_t end = callLog.find('\n', at);
    const std::string line = callLog.substr(at, end - at + 1);
    kept += line.rfind(prefix, 0) == 0 ? line : "";
    at = end == std::string::npos ? callLog.size() : end + 1;
  }
  return kept;
}

std::string NoMatch(const std::string& substring) {
  return "No endpoints matched substring \"" + substring + "\" in Playback list.\r\n";
}

// The arguments after the program's quoted path, or a whole line with its own element 0.
struct CommandLineText {
  std::wstring text;
  bool whole = false;
};
CommandLineText Arguments(std::wstring text) { return {std::move(text)}; }
CommandLineText WholeLine(std::wstring text) { return {std::move(text), true}; }

struct RawLine {
  const char* title;
  CommandLineText commandLine;
  std::string output;
  DWORD exitCode;
  std::wstring program = L"Quorvane.exe";
  std::string machine = kMachine;
};

void PrintTo(const RawLine& row, std::ostream* out) { *out << row.title; }

// A substring that matches nothing comes back in the no-match line as split.
RawLine Splits(const char* title, std::wstring arguments, const std::string& substring) {
  return {.title = title,
          .commandLine = Arguments(std::move(arguments)),
          .output = NoMatch(substring),
          .exitCode = 2};
}

class CommandLine : public ::testing::TestWithParam<RawLine> {};

TEST_P(CommandLine, IsSplitByTheRuntimeAndEndsWithItsStatus) {
  const RawLine& row = GetParam();
  SimulatedMachineFiles files(row.machine);
  const std::wstring program = L"\"" + BuildFolder() + row.program + L"\" ";
  const Outcome outcome =
      files.Start(row.program.c_str(),
                  row.commandLine.whole ? row.commandLine.text : program + row.commandLine.text,
                  StandardOutput::kPipe);
  EXPECT_EQ(row.output, outcome.output);
  EXPECT_EQ(row.exitCode, outcome.exitCode);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Raw, CommandLine,
    ::testing::Values(
        RawLine{.title = "NoArguments", .commandLine = Arguments(L""), .output = kUsageBytes,
                .exitCode = 1},
        RawLine{.title = "SignedRelease", .commandLine = Arguments(L""), .output = kUsageBytes,
                .exitCode = 1, .program = SignedProgram(L"Quorvane.exe")},
        RawLine{.title = "Changed", .commandLine = Arguments(L"disable render Speakers"),
                .output = "Playback: Speakers (High Definition Audio) -> DISABLED\r\n"
                          "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> "
                          "DISABLED\r\n",
                .exitCode = 0},
        RawLine{.title = "EmptyQuoted", .commandLine = Arguments(L"disable capture \"\" Speakers"),
                .output = "Recording: Line In (Realtek(R) Audio) -> DISABLED\r\n", .exitCode = 0},
        Splits("QuotedSpaces", L"disable render \"USB Mic\"", "USB Mic"),
        Splits("RunsOfBlanksSeparate", L"disable \t render  \t Mic  ", "Mic"),
        Splits("QuoteInsideAWord", L"disable render Spe\"ak ers\"", "Speak ers"),
        Splits("DoubledQuote", L"disable render \"Say \"\"hi\"\"\"", "Say \"hi\""),
        Splits("BackslashQuoteIsAQuote", L"disable render Say\\\"hi\\\"", "Say\"hi\""),
        Splits("EvenBackslashesThenQuote", L"disable render \"C:\\a b\\\\\"", "C:\\a b\\"),
        Splits("OddBackslashesThenQuote", L"disable render a\\\\\\\"b c", "a\\\"b"),
        Splits("OtherBackslashesAreLiteral", L"disable render a\\b\\\\", "a\\b\\\\"),
        // Element 0 is never read: whatever it holds, the arguments follow it.
        RawLine{.title = "ProgramPathWithSpaces",
                .commandLine = WholeLine(L"\"C:\\Program Files\\Quorvane.exe\" disable render x"),
                .output = NoMatch("x"), .exitCode = 2}),
    [](const ::testing::TestParamInfo<RawLine>& info) { return info.param.title; });
// clang-format on

const char kListUsageBytes[] =
    "Usage:\r\n"
    "  QuorvaneList.exe [-utf8] [render|capture [\"Name substring\"]]\r\n"
    "\r\n"
    "Lists audio endpoints, playback first, one a line: flow, state, id and\r\n"
    "friendly name, separated by tabs. With a substring, exactly the endpoints\r\n"
    "that Quorvane.exe would act on.\r\n"
    "With -utf8, captured output is UTF-8 and shows every name whole.\r\n";

// QuorvaneList.exe as a process: its splitting, its statuses and its image;
// its grammar and its lines are the in-process tests'.
RawLine Lists(const char* title, std::wstring arguments, std::string output, DWORD exitCode = 0) {
  return {.title = title,
          .commandLine = Arguments(std::move(arguments)),
          .output = std::move(output),
          .exitCode = exitCode,
          .program = L"QuorvaneList.exe"};
}

const std::string kSpeakersLine = "Playback\tactive\t{r1}\tSpeakers (High Definition Audio)\r\n";
const std::string kCableLine =
    "Playback\tactive\t{r2}\tCable Input - Virtual Speakers (VB-Audio Virtual Cable)\r\n";
const std::string kLineInLine = "Recording\tunplugged\t{c1}\tLine In (Realtek(R) Audio)\r\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    List, CommandLine,
    ::testing::Values(
        Lists("Everything", L"", kSpeakersLine + kCableLine + kLineInLine),
        Lists("QuotedSubstring", L"playback \"Virtual Speakers\"", kCableLine),
        RawLine{.title = "SignedRelease", .commandLine = Arguments(L"speakers"),
                .output = kListUsageBytes, .exitCode = 1, .program = SignedProgram(L"QuorvaneList.exe")},
        Lists("UnknownFlow", L"speakers", kListUsageBytes, 1),
        // A machine the simulator cannot read serves no enumerator: it could not ask.
        RawLine{.title = "CouldNotAsk", .commandLine = Arguments(L""),
                .output = "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n",
                .exitCode = 2, .program = L"QuorvaneList.exe", .machine = "endpoint rendr\n"}),
    [](const ::testing::TestParamInfo<RawLine>& info) { return info.param.title; });
// clang-format on

const char kIdUsageBytes[] =
    "Usage:\r\n"
    "  QuorvaneId.exe enable|disable ID [ID...]\r\n"
    "\r\n"
    "Shows or hides exactly the endpoints with these ids, as QuorvaneList.exe\r\n"
    "prints them, of either flow: one line for each id, in the order given.\r\n"
    "Exits 0 when every one was changed, 2 when any was not.\r\n";

// QuorvaneId.exe as a process: its splitting, its statuses and its image; its
// grammar and its lines are the in-process tests'.
RawLine Ids(const char* title, std::wstring arguments, std::string output, DWORD exitCode) {
  return {.title = title,
          .commandLine = Arguments(std::move(arguments)),
          .output = std::move(output),
          .exitCode = exitCode,
          .program = L"QuorvaneId.exe"};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Id, CommandLine,
    ::testing::Values(
        Ids("NoId", L"disable", kIdUsageBytes, 1),
        RawLine{.title = "SignedRelease", .commandLine = Arguments(L"hide {r1}"),
                .output = kIdUsageBytes, .exitCode = 1, .program = SignedProgram(L"QuorvaneId.exe")},
        Ids("QuotedAndBareIdsOfBothFlows", L"DISABLE \"{c1}\" {r2}",
            "Recording: Line In (Realtek(R) Audio) -> DISABLED\r\n"
            "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED\r\n", 0),
        Ids("EmptyArgumentIsAnId", L"enable {r1} \"\"",
            "Playback: Speakers (High Definition Audio) -> ENABLED\r\n"
            "No endpoint has id \"\".\r\n", 2),
        RawLine{.title = "CouldNotAsk", .commandLine = Arguments(L"disable {r1}"),
                .output = "MMDeviceEnumerator CoCreateInstance failed (hr=0x80040154)\r\n",
                .exitCode = 2, .program = L"QuorvaneId.exe", .machine = "endpoint rendr\n"}),
    [](const ::testing::TestParamInfo<RawLine>& info) { return info.param.title; });
// clang-format on

// Past the runtime's 4 KiB buffer, every line whole and in order, in CR LF, or
// none; and nobody able to read it changes nothing that is done.
TEST(StandardOutput, CarriesEveryLineOrNoneAndChangesNothingElse) {
  std::string machine;
  std::string lines;
  for (int index = 0; index < 300; ++index) {
    const std::string name = "Speakers " + std::to_string(index);
    machine += "endpoint render active shown {s" + std::to_string(index) + "} " + name + "\n";
    lines += "Playback: " + name + " -> DISABLED\r\n";
  }
  for (StandardOutput to : {StandardOutput::kPipe, StandardOutput::kFile, StandardOutput::kClosed,
                            StandardOutput::kFullDevice}) {
    SCOPED_TRACE(kOutputNames[static_cast<int>(to)]);
    SimulatedMachineFiles files(machine);
    const Outcome outcome = files.Run(L"disable render Speakers", to);
    const bool readable = to == StandardOutput::kPipe || to == StandardOutput::kFile;
    EXPECT_EQ(readable ? lines : "", outcome.output);
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(std::string::npos, outcome.machineAfter.find(" shown "));
  }
}

// Through COM's own class lookup: what disable hid, the listing shows disabled
// and enable finds again; the unplugged Line In shown again is still unplugged,
// as on Windows. The listing names exactly the endpoints Quorvane changed.
TEST(SimulatedStack, HidesAndShowsThroughTheRegisteredClasses) {
  SimulatedMachineFiles files(kMachine);
  const Outcome hide = files.Run(L"disable render Speakers");
  EXPECT_EQ(0u, hide.exitCode);
  EXPECT_EQ("SetEndpointVisibility {r1} 0\nSetEndpointVisibility {r2} 0\n",
            Lines(hide.callLog, "SetEndpointVisibility "));
  const Outcome hidden = files.List(L"render Speakers");
  EXPECT_EQ(
      "Playback\tdisabled\t{r1}\tSpeakers (High Definition Audio)\r\n"
      "Playback\tdisabled\t{r2}\tCable Input - Virtual Speakers (VB-Audio Virtual Cable)\r\n",
      hidden.output);
  EXPECT_EQ("", hidden.problems) << "not given back exactly once";
  files.Run(L"disable capture Line");
  EXPECT_EQ("Recording\tdisabled\t{c1}\tLine In (Realtek(R) Audio)\r\n",
            files.List(L"capture").output);
  const Outcome show = files.Run(L"enable playback \"\"");
  EXPECT_EQ(kSpeakersLine + kCableLine, files.List(L"render").output);
  files.Run(L"enable record Line");
  EXPECT_EQ(kMachine, files.List(L"").machineAfter);
  EXPECT_EQ("", show.problems) << "not given back exactly once";
}

// Through COM's own class lookup, one of two endpoints that share a name is
// hidden alone, and what Windows refuses is said and changes nothing.
TEST(SimulatedStack, ChangesOneOfTwinsByItsId) {
  SimulatedMachineFiles files(
      "endpoint render active shown {t1} Headset Earphone (Jabra Evolve2 65)\n"
      "endpoint render active shown {t2} Headset Earphone (Jabra Evolve2 65)\n"
      "endpoint render active shown {t3} Headset Earphone (Jabra Evolve2 65)\n"
      "refuse {t3} 80070005\n");
  const Outcome outcome =
      files.Start(L"QuorvaneId.exe", L"\"" + BuildFolder() + L"QuorvaneId.exe\" disable {t2} {t3}",
                  StandardOutput::kPipe);
  EXPECT_EQ(
      "Playback: Headset Earphone (Jabra Evolve2 65) -> DISABLED\r\n"
      "SetEndpointVisibility failed (hr=0x80070005)\r\n",
      outcome.output);
  EXPECT_EQ(2u, outcome.exitCode);
  EXPECT_EQ("SetEndpointVisibility {t2} 0\nSetEndpointVisibility {t3} 0\n",
            Lines(outcome.callLog, "SetEndpointVisibility "));
  EXPECT_EQ(
      "Playback\tactive\t{t1}\tHeadset Earphone (Jabra Evolve2 65)\r\n"
      "Playback\tdisabled\t{t2}\tHeadset Earphone (Jabra Evolve2 65)\r\n"
      "Playback\tactive\t{t3}\tHeadset Earphone (Jabra Evolve2 65)\r\n",
      files.List(L"render").output);
  EXPECT_EQ("", outcome.problems) << "not given back exactly once";
}

}  // namespace
