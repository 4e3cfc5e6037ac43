// Hostile input from every side: command lines, names from the platform,
// standard output nobody can write to, and DLLs planted beside the program.

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

const std::string kMachine =
    "endpoint render active {r1} Speakers (High Definition Audio)\n"
    "endpoint render disabled {r2} Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\n"
    "endpoint capture active {c1} Microphone (USB Audio Device)\n";

bool IsUsage(const std::string& output) { return output.rfind("Usage:\r\n", 0) == 0; }

// The exit status must tell what the output shows happened.
void ExpectStatusAgreesWithOutput(const Outcome& outcome, const std::wstring& arguments) {
  SCOPED_TRACE(std::string("command line of ") + std::to_string(arguments.size()) + " units");
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
  const bool changed = outcome.output.find(" -> ") != std::string::npos;
  switch (outcome.exitCode) {
    case 0:
      EXPECT_TRUE(changed);
      break;
    case 1:
      EXPECT_TRUE(IsUsage(outcome.output));
      EXPECT_EQ(std::vector<std::string>{}, outcome.journal);
      break;
    case 2:
      EXPECT_FALSE(changed);
      EXPECT_NE(std::string::npos, outcome.output.find("No endpoints matched substring"));
      break;
    default:
      ADD_FAILURE() << "exit status " << outcome.exitCode << " (a crash?)";
  }
}

// Any UTF-16 code unit but NUL, often a character the splitting rules treat
// specially, sometimes half of a surrogate pair.
std::wstring RandomArgument(std::mt19937& random, size_t length) {
  static const wchar_t kSpecial[] = L" \t\"\\%?*";
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> unit(1, 0xFFFF);
  std::uniform_int_distribution<int> special(0, 6);
  std::uniform_int_distribution<int> surrogate(0xD800, 0xDFFF);
  std::wstring argument;
  for (size_t i = 0; i < length; ++i) {
    const int k = kind(random);
    if (k < 3) {
      argument.push_back(kSpecial[special(random)]);
    } else if (k < 5) {
      argument.push_back(static_cast<wchar_t>(surrogate(random)));
    } else {
      argument.push_back(static_cast<wchar_t>(unit(random)));
    }
  }
  return argument;
}

TEST(HostileCommandLine, RandomArgumentsNeverCrash) {
  static const wchar_t* const kWords[] = {L"enable", L"DISABLE",  L"render", L"capture",
                                          L"Record", L"Speakers", L"\"\"",   L"e"};
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> count(0, 5);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<int> length(0, 40);
  SimulatedMachineFiles files(kMachine);
  for (int run = 0; run < 60; ++run) {
    std::wstring arguments;
    for (int argument = count(random); argument > 0; --argument) {
      const int choice = pick(random);
      arguments +=
          choice < 8 ? std::wstring(kWords[choice]) : RandomArgument(random, length(random));
      arguments += L' ';
    }
    ExpectStatusAgreesWithOutput(files.Run(arguments), arguments);
  }
}

TEST(HostileCommandLine, LongestPossibleArguments) {
  SimulatedMachineFiles files(kMachine);
  std::mt19937 random(7);
  // The whole command line, program path included, stays under 32,767 units.
  const std::wstring huge = RandomArgument(random, 30000);
  for (const std::wstring& arguments :
       {L"disable render \"" + std::wstring(30000, L'S') + L"\"", L"enable capture " + huge, huge,
        L"disable render Speakers " + huge}) {
    ExpectStatusAgreesWithOutput(files.Run(arguments), arguments);
  }
}

TEST(HostileCommandLine, ThousandsOfArguments) {
  SimulatedMachineFiles files(kMachine);
  std::wstring arguments = L"disable render Speakers";
  for (int i = 0; i < 5000; ++i) {
    arguments += L" x";
  }
  const Outcome outcome = files.Run(arguments);
  EXPECT_EQ(
      "Playback: Speakers (High Definition Audio) -> DISABLED\r\n"
      "Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
}

// What the console bytes of a name are, worked out independently of the tool.
std::string ConsoleBytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t unit : text) {
    if (unit == L'\n') {
      bytes += "\r\n";
    } else {
      bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
  }
  return bytes;
}

struct NameCase {
  const char* title;
  std::string written;  // as the machine file has it
  std::wstring name;    // as the platform hands it out
};

void PrintTo(const NameCase& row, std::ostream* out) { *out << row.title; }

class HostileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(HostileName, PrintsAsTheEncodingRulesSay) {
  const NameCase& row = GetParam();
  SimulatedMachineFiles files("endpoint render active {h} " + row.written + "\n");
  const Outcome outcome = files.Run(L"disable render \"\"");
  EXPECT_EQ(ConsoleBytes(L"Playback: " + row.name + L" -> DISABLED\n"), outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

INSTANTIATE_TEST_SUITE_P(
    FromThePlatform, HostileName,
    ::testing::Values(NameCase{"Empty", "", L""},
                      NameCase{"VeryLong", std::string(40000, 'n'), std::wstring(40000, L'n')},
                      NameCase{"UnpairedHighSurrogate", "A\\uD800B",
                               L"A\xD800"
                               L"B"},
                      NameCase{"UnpairedLowSurrogate", "\\uDFFF end", L"\xDFFF end"},
                      NameCase{"ControlCharacters", "tab\\tcr\\rlf\\nbell\\u0007esc\\u001B",
                               L"tab\tcr\rlf\nbell\x07"
                               L"esc\x1B"},
                      NameCase{"CutShortAtNul", "before\\u0000after", L"before"},
                      NameCase{"FormatSequences", "%s%n%p%ls%08X%%%", L"%s%n%p%ls%08X%%%"},
                      NameCase{"LatinOneEdges", "\\u0080\\u00FF\\u0100", L"\x80\xFF?"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.title; });

struct OutputCase {
  const char* title;
  StandardOutput to;
};

void PrintTo(const OutputCase& row, std::ostream* out) { *out << row.title; }

class UnwritableOutput : public ::testing::TestWithParam<OutputCase> {};

// Nobody can read the output: every change is still made, the status unchanged.
TEST_P(UnwritableOutput, ChangesNothingAboutTheRun) {
  SimulatedMachineFiles files(kMachine);
  const Outcome outcome = files.Run(L"disable render Speakers", GetParam().to);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(2u, Starting(outcome.journal, "SetEndpointVisibility").size());
  EXPECT_NE(std::string::npos, outcome.machineAfter.find("endpoint render disabled {r1} "));
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
  const Outcome nothing = files.Run(L"enable capture Nowhere", GetParam().to);
  EXPECT_EQ(2u, nothing.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, UnwritableOutput,
    ::testing::Values(OutputCase{"Closed", StandardOutput::kClosed},
                      OutputCase{"PipeWithoutReader", StandardOutput::kPipeWithoutReader},
                      OutputCase{"FullDevice", StandardOutput::kFullDevice}),
    [](const ::testing::TestParamInfo<OutputCase>& info) { return info.param.title; });

// Names of DLLs that the program, the COM runtime or the audio stack load.
const wchar_t* const kPlantedNames[] = {
    L"mmdevapi.dll", L"winepulse.drv", L"winealsa.drv", L"propsys.dll",  L"combase.dll",
    L"oleaut32.dll", L"rpcrt4.dll",    L"winmm.dll",    L"version.dll",  L"uxtheme.dll",
    L"msvcrt.dll",   L"ole32.dll",     L"user32.dll",   L"advapi32.dll", L"setupapi.dll",
    L"cfgmgr32.dll", L"avrt.dll",      L"dwmapi.dll",   L"sechost.dll",  L"ucrtbase.dll"};

std::wstring NewFolder(const wchar_t* prefix) {
  wchar_t temp[MAX_PATH];
  wchar_t unique[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GetTempFileNameW(temp, prefix, 0, unique);
  DeleteFileW(unique);
  CreateDirectoryW(unique, nullptr);
  return std::wstring(unique) + L"\\";
}

std::vector<std::wstring> Markers(const std::wstring& folder) {
  std::vector<std::wstring> found;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"*.loaded").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      found.push_back(folder + entry.cFileName);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  return found;
}

TEST(PlantedDlls, AreNeverLoadedFromTheProgramsOrTheCurrentFolder) {
  const std::wstring programFolder = NewFolder(L"qvp");
  const std::wstring currentFolder = NewFolder(L"qvc");
  const std::wstring program = programFolder + L"Quorvane.exe";
  ASSERT_TRUE(CopyFileW((BuildFolder() + L"Quorvane.exe").c_str(), program.c_str(), FALSE));
  for (const wchar_t* name : kPlantedNames) {
    for (const std::wstring& folder : {programFolder, currentFolder}) {
      ASSERT_TRUE(
          CopyFileW((BuildFolder() + L"planted.dll").c_str(), (folder + name).c_str(), FALSE));
    }
  }
  // The marker shows a load: this test's own load of one leaves it.
  const std::wstring control = programFolder + L"control.dll";
  ASSERT_TRUE(CopyFileW((BuildFolder() + L"planted.dll").c_str(), control.c_str(), FALSE));
  FreeLibrary(LoadLibraryW(control.c_str()));
  ASSERT_EQ(std::vector<std::wstring>{control + L".loaded"}, Markers(programFolder));
  DeleteFileW((control + L".loaded").c_str());

  for (const wchar_t* arguments : {L"disable render Speakers", L"enable capture \"\""}) {
    const ProcessResult result =
        RunProgram(program, arguments, StandardOutput::kPipe, currentFolder);
    EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 2) << result.exitCode;
  }
  std::vector<std::wstring> loaded = Markers(programFolder);
  for (const std::wstring& marker : Markers(currentFolder)) {
    loaded.push_back(marker);
  }
  for (const std::wstring& marker : loaded) {
    ADD_FAILURE() << "loaded a planted DLL: " << std::string(marker.begin(), marker.end());
  }
}

}  // namespace
