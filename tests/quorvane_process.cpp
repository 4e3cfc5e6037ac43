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

}  // namespace

std::wstring BuildFolder() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                         StandardOutput to, const std::wstring& currentFolder) {
  ProcessResult result = {~0u, {}};
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE childOutput = INVALID_HANDLE_VALUE;
  std::wstring outputFile;
  if (to == StandardOutput::kPipe || to == StandardOutput::kPipeWithoutReader) {
    EXPECT_TRUE(CreatePipe(&readEnd, &childOutput, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    if (to == StandardOutput::kPipeWithoutReader) {
      CloseHandle(readEnd);
      readEnd = nullptr;
    }
  } else if (to == StandardOutput::kFullDevice) {
    // Wine maps drive Z: to the Unix root, where /dev/full refuses every write.
    childOutput = CreateFileW(L"Z:\\dev\\full", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, childOutput) << "no full device to write to";
  } else if (to == StandardOutput::kFile) {
    wchar_t folder[MAX_PATH];
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"qvf", 0, file);
    outputFile = file;
    childOutput = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  const BOOL started =
      CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &process);
  if (childOutput != INVALID_HANDLE_VALUE) {
    CloseHandle(childOutput);
  }
  if (!started) {
    ADD_FAILURE() << "could not start the program, error " << GetLastError();
  } else {
    if (readEnd != nullptr) {
      char buffer[65536];
      DWORD got = 0;
      while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        result.output.append(buffer, got);
      }
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (readEnd != nullptr) {
    CloseHandle(readEnd);
  }
  if (!outputFile.empty()) {
    result.output = ReadWholeFile(outputFile).value_or("");
    DeleteFileW(outputFile.c_str());
  }
  return result;
}

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

}  // namespace

SimulatedMachineFiles::SimulatedMachineFiles(const std::string& machine) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  wchar_t unique[MAX_PATH];
  GetTempFileNameW(folder, L"qvm", 0, unique);
  DeleteFileW(unique);
  folder_ = std::wstring(unique) + L"\\";
  CreateDirectoryW(folder_.c_str(), nullptr);
  EXPECT_TRUE(WriteWholeFile(Machine(), machine)) << "cannot write the machine file";
  SetEnvironmentVariableW(L"QUORVANE_SIMULATOR_MACHINE", Machine().c_str());
  SetEnvironmentVariableW(L"QUORVANE_SIMULATOR_JOURNAL", Journal().c_str());
  SetEnvironmentVariableW(L"QUORVANE_SIMULATOR_LEDGER", Ledger().c_str());
}

SimulatedMachineFiles::~SimulatedMachineFiles() {
  for (const std::wstring& file : {Machine(), Journal(), Ledger()}) {
    DeleteFileW(file.c_str());
  }
  RemoveDirectoryW(folder_.c_str());
}

Outcome SimulatedMachineFiles::Run(const std::wstring& arguments, StandardOutput to) {
  DeleteFileW(Journal().c_str());
  DeleteFileW(Ledger().c_str());
  const ProcessResult result = RunProgram(BuildFolder() + L"Quorvane.exe", arguments, to);
  return {result.exitCode, result.output, LinesOf(ReadWholeFile(Journal()).value_or("")),
          LinesOf(ReadWholeFile(Ledger()).value_or("")), ReadWholeFile(Machine()).value_or("")};
}

std::vector<std::string> Starting(const std::vector<std::string>& journal, const char* start) {
  std::vector<std::string> entries;
  for (const std::string& entry : journal) {
    if (entry.rfind(start, 0) == 0) {
      entries.push_back(entry);
    }
  }
  return entries;
}
