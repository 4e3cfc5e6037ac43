#include "tests/quorvane_process.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "tests/stdout_capture.h"
#include "tests/under_wine.h"

namespace {

// On Windows itself Quorvane.exe would change the machine's own devices.
class RequiresWine : public ::testing::Environment {
  void SetUp() override {
    if (!RunningUnderWine()) {
      GTEST_FAIL() << "These tests change a Wine prefix's audio devices; run them under Wine.";
    }
  }
};

::testing::Environment* const kRequiresWine = ::testing::AddGlobalTestEnvironment(new RequiresWine);

const wchar_t* const kSimulatorFiles[] = {L"MACHINE", L"CALL_LOG", L"PROBLEMS"};

}  // namespace

std::wstring BuildFolder() {
  wchar_t self[MAX_PATH];
  const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

Outcome SimulatedMachineFiles::Start(const wchar_t* program, const std::wstring& commandLine,
                                     StandardOutput to) {
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const std::wstring file = to == StandardOutput::kFile ? NewTempName(L"qvf") : L"";
  HANDLE readEnd = nullptr;
  HANDLE output = nullptr;
  if (to == StandardOutput::kPipe) {
    EXPECT_TRUE(CreatePipe(&readEnd, &output, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  } else if (to != StandardOutput::kClosed) {
    // Wine maps drive Z: to the Unix root, where /dev/full refuses every write.
    const bool full = to == StandardOutput::kFullDevice;
    output = CreateFileW(full ? L"Z:\\dev\\full" : file.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                         &inheritable, full ? OPEN_EXISTING : CREATE_ALWAYS, 0, nullptr);
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};
  const std::wstring path = BuildFolder() + program;
  const auto start = [&] {
    std::wstring line = commandLine;
    return CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process);
  };
  BOOL started = start();
  // Wine now and then fails a start with ERROR_INTERNAL_ERROR, before any code
  // of ours runs; that gets one more try, said out loud.
  if (!started && GetLastError() == ERROR_INTERNAL_ERROR) {
    std::printf("[ note ] Wine could not start the program (error 1359); starting it again\n");
    started = start();
  }
  CloseHandle(output);
  Outcome result = {~0u, {}, {}, {}, {}};
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
  CloseHandle(readEnd);
  if (to == StandardOutput::kFile) {
    result.output = ReadWholeFile(file).value_or("");
    DeleteFileW(file.c_str());
  }
  result.callLog = ReadWholeFile(folder_ + L"CALL_LOG.txt").value_or("");
  result.problems = ReadWholeFile(folder_ + L"PROBLEMS.txt").value_or("");
  result.machineAfter = ReadWholeFile(folder_ + L"MACHINE.txt").value_or("");
  DeleteFileW((folder_ + L"CALL_LOG.txt").c_str());
  DeleteFileW((folder_ + L"PROBLEMS.txt").c_str());
  return result;
}

SimulatedMachineFiles::SimulatedMachineFiles(const std::string& machine)
    : folder_(NewTempName(L"qvm")) {
  DeleteFileW(folder_.c_str());
  CreateDirectoryW(folder_.c_str(), nullptr);
  folder_ += L"\\";
  EXPECT_TRUE(WriteWholeFile(folder_ + L"MACHINE.txt", machine));
  for (const wchar_t* name : kSimulatorFiles) {
    SetEnvironmentVariableW((std::wstring(L"QUORVANE_SIMULATOR_") + name).c_str(),
                            (folder_ + name + L".txt").c_str());
  }
}

SimulatedMachineFiles::~SimulatedMachineFiles() {
  for (const wchar_t* name : kSimulatorFiles) {
    DeleteFileW((folder_ + name + L".txt").c_str());
  }
  RemoveDirectoryW(folder_.c_str());
}
