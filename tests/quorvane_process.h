#pragma once

// Quorvane.exe as a user's script starts it: a raw command line, standard
// output as a pipe, a file, closed or full, and the exit status.

#include <string>
#include <vector>

#include <windows.h>

#include "simulator/whole_file.h"

enum class StandardOutput { kPipe, kFile, kClosed, kFullDevice };

// The folder this test program runs from, where Quorvane.exe is built too.
std::wstring BuildFolder();

// Where, inside that folder, the signed release test leaves the signed executable.
inline constexpr wchar_t kSignedExecutable[] =
    L"signed-release\\a\\Quorvane-" QUORVANE_VERSION L"-win64\\Quorvane.exe";

// What one run of Quorvane.exe on a simulated machine left behind: the
// simulator's journal of calls, its ledger of what was not given back exactly
// once, and the machine file as the run left it.
struct Outcome {
  DWORD exitCode;
  std::string output;
  std::vector<std::string> journal;
  std::vector<std::string> ledger;
  std::string machineAfter;
};

// A simulated machine in a fresh folder, made known to the simulator that the
// prefix registers through the environment that Quorvane.exe inherits.
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

 private:
  std::wstring folder_;
};
