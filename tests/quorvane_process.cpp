#include "tests/quorvane_process.h"

#include <gtest/gtest.h>

namespace {

// These tests register classes and write files that only a private Wine prefix
// may hold, and on Windows itself Quorvane.exe would act on the machine's own
// devices: they refuse to run anywhere but under Wine.
class RequiresWine : public ::testing::Environment {
 public:
  void SetUp() override {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) {
      GTEST_FAIL() << "These tests run Quorvane.exe against a private Wine prefix and would "
                      "change this machine's audio devices. Run them under Wine, as ctest "
                      "does on Linux (scripts/test.sh).";
    }
  }
};

::testing::Environment* const kRequiresWine = ::testing::AddGlobalTestEnvironment(new RequiresWine);

std::wstring NewTempName(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH];
  wchar_t file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, prefix, 0, file);
  return file;
}

HANDLE OpenChildOutput(StandardOutput to, const std::wstring& file, HANDLE* readEnd) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE output = INVALID_HANDLE_VALUE;
  if (to == StandardOutput::kPipe) {
    EXPECT_TRUE(CreatePipe(readEnd, &output, &inheritable, 0));
    SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0);
  } else if (to != StandardOutput::kClosed) {
    // Wine maps drive Z: to the Unix root, where /dev/full refuses every write.
    const bool full = to == StandardOutput::kFullDevice;
    output = CreateFileW(full ? L"Z:\\dev\\full" : file.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                         &inheritable, full ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, output);
  }
  return output;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

}  // namespace

std::wstring BuildFolder() {
  wchar_t self[MAX_PATH];
  const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

ProcessResult RunProgram(const std::wstring& program, const std::wstring& commandLine,
                         StandardOutput to) {
  ProcessResult result = {~0u, {}};
  const std::wstring file = to == StandardOutput::kFile ? NewTempName(L"qvf") : L"";
  HANDLE readEnd = nullptr;
  HANDLE childOutput = OpenChildOutput(to, file, &readEnd);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  std::wstring line = commandLine;
  BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  // Wine now and then fails to start a process with ERROR_INTERNAL_ERROR; that
  // is Wine's, not the program's, so it gets one more try, said out loud.
  if (!started && GetLastError() == ERROR_INTERNAL_ERROR) {
    std::printf("[ note ] Wine could not start the program (error 1359); starting it again\n");
    line = commandLine;
    started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &process);
  }
  if (childOutput != INVALID_HANDLE_VALUE) {
    CloseHandle(childOutput);
  }
  if (!started) {
    ADD_FAILURE() << "could not start the program, error " << GetLastError();
  } else {
    char buffer[65536];
    DWORD got = 0;
    while (readEnd != nullptr && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) {
      result.output.append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (readEnd != nullptr) {
    CloseHandle(readEnd);
  }
  if (!file.empty()) {
    result.output = ReadWholeFile(file).value_or("");
    DeleteFileW(file.c_str());
  }
  return result;
}

SimulatedMachineFiles::SimulatedMachineFiles(const std::string& machine)
    : folder_(NewTempName(L"qvm")) {
  DeleteFileW(folder_.c_str());
  CreateDirectoryW(folder_.c_str(), nullptr);
  folder_ += L"\\";
  EXPECT_TRUE(WriteWholeFile(folder_ + L"MACHINE.txt", machine));
  for (const wchar_t* name : {L"MACHINE", L"JOURNAL", L"LEDGER"}) {
    const std::wstring file = folder_ + name + L".txt";
    SetEnvironmentVariableW((std::wstring(L"QUORVANE_SIMULATOR_") + name).c_str(), file.c_str());
  }
}

SimulatedMachineFiles::~SimulatedMachineFiles() {
  for (const wchar_t* name : {L"MACHINE", L"JOURNAL", L"LEDGER"}) {
    DeleteFileW((folder_ + name + L".txt").c_str());
  }
  RemoveDirectoryW(folder_.c_str());
}

Outcome SimulatedMachineFiles::Run(const std::wstring& arguments, StandardOutput to) {
  const std::wstring program = BuildFolder() + L"Quorvane.exe";
  DeleteFileW((folder_ + L"JOURNAL.txt").c_str());
  DeleteFileW((folder_ + L"LEDGER.txt").c_str());
  const ProcessResult result = RunProgram(program, L"\"" + program + L"\" " + arguments, to);
  return {result.exitCode, result.output,
          LinesOf(ReadWholeFile(folder_ + L"JOURNAL.txt").value_or("")),
          LinesOf(ReadWholeFile(folder_ + L"LEDGER.txt").value_or("")),
          ReadWholeFile(folder_ + L"MACHINE.txt").value_or("")};
}
