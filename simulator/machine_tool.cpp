// Reads a simulated machine file with the simulator's own parser, for the demo:
//   QuorvaneMachine.exe check FILE   each line it cannot understand, and status 3
//   QuorvaneMachine.exe list FILE    each endpoint with its flow, presence and visibility
// Output is UTF-8, one line each, with LF line ends.

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "simulator/machine_file.h"
#include "simulator/whole_file.h"

namespace {

constexpr int kUsage = 64;
constexpr int kCannotRead = 3;

void Print(const std::string& line) {
  (void)std::fwrite(line.data(), 1, line.size(), stdout);
  (void)std::fputc('\n', stdout);
}

std::string Padded(std::string word, size_t width) {
  word.resize(std::max(word.size(), width), ' ');
  return word;
}

std::string PresenceWord(DWORD presence) {
  switch (presence) {
    case DEVICE_STATE_ACTIVE:
      return "active";
    case DEVICE_STATE_UNPLUGGED:
      return "unplugged";
    default:
      return "notpresent";
  }
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  (void)_setmode(_fileno(stdout), _O_BINARY);
  const std::wstring command = argc == 3 ? argv[1] : L"";
  if (command != L"check" && command != L"list") {
    Print("usage: QuorvaneMachine.exe check|list FILE");
    return kUsage;
  }
  const std::optional<std::string> text = ReadWholeFile(argv[2]);
  if (!text) {
    Print("cannot read the file");
    return kCannotRead;
  }
  const SimulatedMachine machine = ParseMachineFile(*text);
  for (const std::wstring& problem : machine.problems) {
    Print(Utf8FromWide(problem));
  }
  if (!machine.problems.empty()) {
    return kCannotRead;
  }
  if (command == L"list") {
    for (const SimulatedEndpoint& endpoint : machine.endpoints) {
      Print(Padded(endpoint.flow == eRender ? "Playback" : "Recording", 10) +
            Padded(PresenceWord(endpoint.presence), 11) +
            Padded(endpoint.hidden ? "hidden" : "shown", 7) + Utf8FromWide(endpoint.name));
    }
  }
  return 0;
}
