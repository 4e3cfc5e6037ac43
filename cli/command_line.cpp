#include "cli/command_line.h"

#include "cli/keywords.h"
#include "endpoints/visibility_switch.h"
#include "output/console_output.h"

namespace {

constexpr int kExitChanged = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNothingChanged = 2;

void PrintUsage() {
  PrintMessage({L"Usage:\n"});
  PrintMessage({L"  Quorvane.exe enable|disable render|capture \"Name substring\"\n\n"});
  PrintMessage({L"Examples:\n"});
  PrintMessage(
      {L"  Quorvane.exe disable render  "
       L"\"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\"\n"});
  PrintMessage(
      {L"  Quorvane.exe enable  capture "
       L"\"Cable Output - Virtual Microphone (VB-Audio Virtual Cable)\"\n"});
}

}  // namespace

std::optional<SwitchRequest> ParseCommandLine(int argc, const wchar_t* const argv[]) {
  if (argc < 4) {
    return std::nullopt;
  }
  // The action is decided before the flow is looked at.
  const std::optional<bool> visible = ParseAction(argv[1]);
  if (!visible) {
    return std::nullopt;
  }
  const std::optional<EDataFlow> flow = ParseFlow(argv[2]);
  if (!flow) {
    return std::nullopt;
  }
  return SwitchRequest{*flow, argv[3], *visible};
}

int RunCommandLine(int argc, const wchar_t* const argv[]) {
  const std::optional<SwitchRequest> request = ParseCommandLine(argc, argv);
  if (!request) {
    PrintUsage();
    return kExitUsage;
  }
  const bool changed =
      ApplyVisibilityToMatches(request->flow, request->nameSubstring, request->visible);
  return changed ? kExitChanged : kExitNothingChanged;
}
