// Runs the real Quorvane.exe, built beside this test program, as a user's
// script would, and checks the bytes it writes and the status it exits with.

#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct ProcessResult {
  DWORD exitCode;
  std::string output;
};

std::wstring QuorvanePath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"Quorvane.exe";
}

// `arguments` is appended to the program name exactly as written, so the
// runtime's own command-line splitting is part of what is tested.
ProcessResult RunQuorvane(const std::wstring& arguments) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  const std::wstring program = QuorvanePath();
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  ProcessResult result = {~0u, {}};
  if (!started) {
    ADD_FAILURE() << "could not start Quorvane.exe, error " << GetLastError();
    CloseHandle(readEnd);
    return result;
  }
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    result.output.append(buffer, got);
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(readEnd);
  return result;
}

const char kUsage[] =
    "Usage:\r\n"
    "  Quorvane.exe enable|disable render|capture \"Name substring\"\r\n"
    "\r\n"
    "Examples:\r\n"
    "  Quorvane.exe disable render  \"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\"\r\n"
    "  Quorvane.exe enable  capture \"Cable Output - Virtual Microphone (VB-Audio Virtual "
    "Cable)\"\r\n";

struct CommandCase {
  const char* title;
  const wchar_t* arguments;
  DWORD exitCode;
  std::string output;
};

class Executable : public ::testing::TestWithParam<CommandCase> {};

// Wine's own audio stack, with no sound server behind it, offers no endpoints:
// a valid command line reaches the platform and finds nothing to change.
TEST_P(Executable, WritesExactBytesAndExitStatus) {
  const CommandCase& row = GetParam();
  const ProcessResult result = RunQuorvane(row.arguments);
  EXPECT_EQ(row.output, result.output);
  EXPECT_EQ(row.exitCode, result.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Executable,
    ::testing::Values(
        CommandCase{"NoArguments", L"", 1, kUsage},
        CommandCase{"TwoArguments", L"disable render", 1, kUsage},
        CommandCase{"UnknownAction", L"mute render Speakers", 1, kUsage},
        CommandCase{"HelpIsNoOption", L"/?", 1, kUsage},
        CommandCase{"NothingToDisable", L"disable render Speakers", 2,
                    "No endpoints matched substring \"Speakers\" in Playback list.\r\n"},
        CommandCase{"QuotedSubstringWithSpaces", L"ENABLE Record \"USB Mic\" further words", 2,
                    "No endpoints matched substring \"USB Mic\" in Recording list.\r\n"},
        CommandCase{"EscapedQuoteInSubstring", L"disable render \"Say \\\"hi\\\"\"", 2,
                    "No endpoints matched substring \"Say \"hi\"\" in Playback list.\r\n"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.title; });

}  // namespace
