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
  const wchar_t* program = L"Quorvane.exe";
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
  SimulatedMachineFiles files(kMachine);
  const std::wstring program = L"\"" + BuildFolder() + row.program + L"\" ";
  const Outcome outcome = files.Start(
      row.program, row.commandLine.whole ? row.commandLine.text : program + row.commandLine.text,
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
                .exitCode = 1, .program = kSignedExecutable},
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

// Through COM's own class lookup: what disable hid, enable finds again, and the
// unplugged Line In shown again is still unplugged, as on Windows.
TEST(SimulatedStack, HidesAndShowsThroughTheRegisteredClasses) {
  SimulatedMachineFiles files(kMachine);
  const Outcome hide = files.Run(L"disable capture Line");
  EXPECT_EQ("Recording: Line In (Realtek(R) Audio) -> DISABLED\r\n", hide.output);
  EXPECT_NE(std::string::npos, hide.machineAfter.find("capture unplugged hidden {c1}"));
  const Outcome show = files.Run(L"enable record Line");
  EXPECT_EQ(kMachine, show.machineAfter);
  EXPECT_EQ("", show.ledger) << "not given back exactly once";
}

}  // namespace
