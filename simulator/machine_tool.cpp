// The demo's reading of a machine file, with the simulator's own parser, in UTF-8:
//   QuorvaneMachine.exe check|list FILE
// each line it cannot read (then status 3), or for list each endpoint's state.

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "simulator/machine_file.h"
#include "simulator/whole_file.h"

int wmain(int argc, wchar_t* argv[]) {
  (void)_setmode(_fileno(stdout), _O_BINARY);
  const std::wstring command = argc == 3 ? argv[1] : L"";
  if (command != L"check" && command != L"list") {
    std::printf("usage: QuorvaneMachine.exe check|list FILE\n");
    return 64;
  }
  const std::optional<std::string> text = ReadWholeFile(argv[2]);
  if (!text) {
    std::printf("cannot be read\n");
    return 3;
  }
  const SimulatedMachine machine = ParseMachineFile(*text);
  for (const std::wstring& problem : machine.problems) {
    std::printf("%s\n", Utf8FromWide(problem).c_str());
  }
  if (!machine.problems.empty()) {
    return 3;
  }
  for (const SimulatedEndpoint& endpoint : machine.endpoints) {
    const char* presence = endpoint.presence == DEVICE_STATE_ACTIVE      ? "active"
                           : endpoint.presence == DEVICE_STATE_UNPLUGGED ? "unplugged"
                                                                         : "notpresent";
    if (command == L"list") {
      std::printf("%-9s %-10s %-6s %s\n", endpoint.flow == eRender ? "Playback" : "Recording",
                  presence, endpoint.hidden ? "hidden" : "shown",
                  Utf8FromWide(endpoint.name).c_str());
    }
  }
  return 0;
}
