#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "simulator/whole_file.h"

enum class StandardOutput {
  kPipe,
  kFile,
  kClosed,
  kPipeWithoutReader,  // the reading end is gone before the program starts
  kFullDevice,         // every write fails for want of space (/dev/full)
};

struct ProcessResult {
  DWORD exitCode;
  std::string output;
};

// The folder this test program runs from, where Quorvane.exe is built too.
std::wstring BuildFolder();

// Starts `program` with the raw command line `"program" arguments`, so that the
// runtime's own argument splitting is part of what is tested, and waits for it.
ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                         StandardOutput to = StandardOutput::kPipe,
                         const std::wstring& currentFolder = {});

// What one run of Quorvane.exe on a simulated machine left behind.
struct Outcome {
  DWORD exitCode;
  std::string output;
  std::vector<std::string> journal;
  std::vector<std::string> ledger;
  std::string machineAfter;
};

// A simulated machine in a fresh folder, made known to the simulator through
// the environment that Quorvane.exe inherits.
class SimulatedMachineFiles {
 public:
  explicit SimulatedMachineFiles(const std::string& machine);
  ~SimulatedMachineFiles();
  SimulatedMachineFiles(const SimulatedMachineFiles&) = delete;
  SimulatedMachineFiles& operator=(const SimulatedMachineFiles&) = delete;

  // Runs the Quorvane.exe built beside this test program.
  Outcome Run(const std::wstring& arguments, StandardOutput to = StandardOutput::kPipe);

 private:
  std::wstring Machine() const { return folder_ + L"machine.txt"; }
  std::wstring Journal() const { return folder_ + L"journal.txt"; }
  std::wstring Ledger() const { return folder_ + L"ledger.txt"; }
  std::wstring folder_;
};

// The journal entries that start with `start`.
std::vector<std::string> Starting(const std::vector<std::string>& journal, const char* start);
