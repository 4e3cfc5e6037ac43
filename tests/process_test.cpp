// The real, release-built Quorvane.exe, started as a user's script starts it,
// against the simulated audio stack that the test prefix registers in place of
// Wine's own: what only a whole process shows.

#include <ostream>
#include <random>
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
    "endpoint render active hidden {r2} Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\n"
    "endpoint capture unplugged shown {c1} Line In (Realtek(R) Audio)\n";

std::string NoMatch(const std::string& substring) {
  return "No endpoints matched substring \"" + substring + "\" in Playback list.\r\n";
}

struct RawLine {
  const char* title;
  std::wstring commandLine;  // after the quoted program path, unless it starts with '!'
  std::string output;
  DWORD exitCode;
  const wchar_t* program = L"Quorvane.exe";
};

void PrintTo(const RawLine& row, std::ostream* out) { *out << row.title; }

class CommandLine : public ::testing::TestWithParam<RawLine> {};

// Substrings come back in the no-match line, as the runtime split them.
TEST_P(CommandLine, IsSplitByTheRuntimeAndEndsWithItsStatus) {
  const RawLine& row = GetParam();
  SimulatedMachineFiles files(kMachine);
  const std::wstring program = L"\"" + BuildFolder() + row.program + L"\" ";
  const bool whole = row.commandLine.rfind(L'!', 0) == 0;
  const Outcome outcome =
      files.Start(row.program, whole ? row.commandLine.substr(1) : program + row.commandLine,
                  StandardOutput::kPipe);
  EXPECT_EQ(row.output, outcome.output);
  EXPECT_EQ(row.exitCode, outcome.exitCode);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Raw, CommandLine,
    ::testing::Values(
        RawLine{"NoArguments", L"", kUsageBytes, 1},
        RawLine{"SignedRelease", L"", kUsageBytes, 1, kSignedExecutable},
        RawLine{"Changed", L"disable render Speakers",
                "Playback: Speakers (High Definition Audio) -> DISABLED\r\n"
                "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> "
                "DISABLED\r\n", 0},
        RawLine{"QuotedSpaces", L"disable render \"USB Mic\"", NoMatch("USB Mic"), 2},
        RawLine{"RunsOfBlanksSeparate", L"disable \t render  \t Mic  ", NoMatch("Mic"), 2},
        RawLine{"QuoteInsideAWord", L"disable render Spe\"ak ers\"", NoMatch("Speak ers"), 2},
        RawLine{"EmptyQuoted", L"disable capture \"\" Speakers",
                "Recording: Line In (Realtek(R) Audio) -> DISABLED\r\n", 0},
        RawLine{"DoubledQuote", L"disable render \"Say \"\"hi\"\"\"", NoMatch("Say \"hi\""), 2},
        RawLine{"BackslashQuoteIsAQuote", L"disable render Say\\\"hi\\\"", NoMatch("Say\"hi\""), 2},
        RawLine{"EvenBackslashesThenQuote", L"disable render \"C:\\a b\\\\\"", NoMatch("C:\\a b\\"),
                2},
        RawLine{"OddBackslashesThenQuote", L"disable render a\\\\\\\"b c", NoMatch("a\\\"b"), 2},
        RawLine{"OtherBackslashesAreLiteral", L"disable render a\\b\\\\", NoMatch("a\\b\\\\"), 2},
        // Element 0 is never read: whatever it holds, the arguments follow it.
        RawLine{"ProgramPathWithSpaces",
                L"!\"C:\\Program Files\\Quorvane.exe\" disable render x", NoMatch("x"), 2}),
    [](const ::testing::TestParamInfo<RawLine>& info) { return info.param.title; });
// clang-format on

// Far beyond the runtime's 4096-byte buffer: every line, whole and in order, in
// text mode's CR LF, whatever standard output is; and nobody able to read it
// changes nothing about what is done or the status.
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
    SCOPED_TRACE(static_cast<int>(to));
    SimulatedMachineFiles files(machine);
    const Outcome outcome = files.Run(L"disable render Speakers", to);
    const bool readable = to == StandardOutput::kPipe || to == StandardOutput::kFile;
    EXPECT_EQ(readable ? lines : "", outcome.output);
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(std::string::npos, outcome.machineAfter.find(" shown "));
  }
}

// The whole road through COM's own class lookup to the registered simulator,
// which also keeps hiding apart from presence: showing the unplugged Line In
// again leaves it unplugged.
TEST(SimulatedStack, HidesAndShowsThroughTheRegisteredClasses) {
  SimulatedMachineFiles files(kMachine);
  const Outcome hide = files.Run(L"disable capture Line");
  EXPECT_EQ("Recording: Line In (Realtek(R) Audio) -> DISABLED\r\n", hide.output);
  EXPECT_NE(std::string::npos, hide.machineAfter.find("capture unplugged hidden {c1}"));
  const Outcome show = files.Run(L"enable record Line");
  EXPECT_EQ(kMachine, show.machineAfter);
  EXPECT_EQ(std::vector<std::string>{}, show.ledger) << "not given back exactly once";
}

// Any UTF-16 code unit but NUL, often one that the splitting rules treat
// specially, sometimes half of a surrogate pair, between the keywords.
TEST(RandomCommandLines, EndWithAStatusThatAgreesWithTheOutput) {
  const unsigned seed = 20261207;
  SCOPED_TRACE("random seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const std::wstring pieces[] = {L"enable", L"DISABLE", L"render", L"Record", L"Speakers", L"\"",
                                 L"\\",     L" ",       L"\t",     L"%s",     L"\xD800"};
  std::uniform_int_distribution<int> count(0, 12), pick(0, 13), unit(1, 0xFFFF);
  SimulatedMachineFiles files(kMachine);
  for (int run = 0; run < 40; ++run) {
    std::wstring arguments;
    for (int piece = count(random); piece > 0; --piece) {
      const int which = pick(random);
      arguments += which < 11 ? pieces[which] : std::wstring(1, static_cast<wchar_t>(unit(random)));
      arguments += which < 5 ? L" " : L"";
    }
    const Outcome outcome = files.Run(arguments);
    SCOPED_TRACE("run " + std::to_string(run));
    EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
    const bool changed = outcome.output.find(" -> ") != std::string::npos;
    const bool usage = outcome.output == kUsageBytes;
    const bool noMatch = outcome.output.find("No endpoints matched substring") != std::string::npos;
    EXPECT_TRUE((outcome.exitCode == 0 && changed) || (outcome.exitCode == 1 && usage) ||
                (outcome.exitCode == 2 && noMatch && !changed))
        << "exit status " << outcome.exitCode << " after:\n"
        << outcome.output;
  }
}

}  // namespace
