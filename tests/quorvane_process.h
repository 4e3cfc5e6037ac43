#pragma once

// Quorvane.exe as a user's script starts it: a raw command line, standard
// output as a pipe, a file, closed or full, and the exit status.

#include <string>
#include <vector>

#include <windows.h>

#include "simulator/whole_file.h"

enum class StandardOutput { kPipe, kFile, kClosed, kFullDevice };

struct ProcessResult {
  DWORD exitCode;
  std::string output;
};

// The folder this test program runs from, where Quorvane.exe is built too.
std::wstring BuildFolder();

// Where, inside that folder, the signed release test leaves the signed executable.
inline constexpr wchar_t kSignedExecutable[] =
    L"signed-release\\a\\Quorvane-" QUORVANE_VERSION L"-win64\\Quorvane.exe";

// Starts `program` with exactly `commandLine` (element 0 included), so that
// the runtime's own splitting is part of what is tested, and waits for it.
ProcessResult RunProgram(const std::wstring& program, const std::wstring& commandLine,
                         StandardOutput to = StandardOutput::kPipe);

// What one run of Quorvane.exe on a simulated machine left behind.
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
  SimulatedMachineFiles(const SimulatedMachineFiles&) = delete;
  SimulatedMachineFiles& operator=(const SimulatedMachineFiles&) = delete;

  // Runs the Quorvane.exe built beside this test program with these arguments.
  Outcome Run(const std::wstring& arguments, StandardOutput to = StandardOutput::kPipe);

 private:
  std::wstring folder_;
};
