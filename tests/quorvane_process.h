#pragma once

// The programs as a script starts them, with standard output a pipe, a file,
// closed or full.

#include <string>
#include <vector>

#include <windows.h>

#include "quorvane_release.h"
#include "simulator/whole_file.h"

enum class StandardOutput { kPipe, kFile, kClosed, kFullDevice };
inline constexpr const char* kOutputNames[] = {"a pipe", "a file", "closed", "a full device"};

// The folder this test program runs from, where Quorvane.exe is built too.
std::wstring BuildFolder();

// The programs of the release, as its list of files names them.
inline constexpr const wchar_t* kReleasePrograms[] = {QUORVANE_PROGRAMS};

// Where, inside that folder, the signed release test leaves a signed program.
inline std::wstring SignedProgram(const wchar_t* program) {
  return std::wstring(L"signed-release\\a\\" QUORVANE_RELEASE_NAME L"\\") + program;
}

// What one run left: its output and status, the simulator's call log and
// problems, and the machine file.
struct Outcome {
  DWORD exitCode;
  std::string output;
  std::string callLog;
  std::string problems;
  std::string machineAfter;
};

// A simulated machine in a fresh folder, named to the simulator through the environment.
class SimulatedMachineFiles {
 public:
  explicit SimulatedMachineFiles(const std::string& machine);
  ~SimulatedMachineFiles();
  // Starts `program` from the build folder with exactly `commandLine`, element
  // 0 included, so that the runtime's own splitting is part of what is tested.
  Outcome Start(const wchar_t* program, const std::wstring& commandLine, StandardOutput to);
  // Starts the built Quorvane.exe with these arguments after its quoted path.
  Outcome Run(const std::wstring& arguments, StandardOutput to = StandardOutput::kPipe) {
    return Start(L"Quorvane.exe", L"\"" + BuildFolder() + L"Quorvane.exe\" " + arguments, to);
  }
  // Starts the built QuorvaneList.exe with these arguments after its quoted path.
  Outcome List(const std::wstring& arguments) {
    return Start(L"QuorvaneList.exe", L"\"" + BuildFolder() + L"QuorvaneList.exe\" " + arguments,
                 StandardOutput::kPipe);
  }

 private:
  std::wstring folder_;
};
