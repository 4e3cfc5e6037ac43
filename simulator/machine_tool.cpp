// The demo's check of a machine file, with the simulator's own parser:
//   QuorvaneMachine.exe FILE
// prints each line it cannot read, in UTF-8, and then has status 3.

#include <cstdio>
#include <string>

#include "simulator/machine_file.h"
#include "simulator/whole_file.h"

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2) {
    std::printf("usage: QuorvaneMachine.exe FILE\n");
    return 64;
  }
  const std::optional<std::string> text = ReadWholeFile(argv[1]);
  if (!text) {
    std::printf("cannot be read\n");
    return 3;
  }
  const SimulatedMachine machine = ParseMachineFile(*text);
  for (const std::wstring& problem : machine.problems) {
    std::printf("%s\n", Utf8FromWide(problem).c_str());
  }
  return machine.problems.empty() ? 0 : 3;
}
