#include "cli/id_command_line.h"

#include "cli/keywords.h"
#include "endpoints/visibility_switch.h"
#include "output/console_output.h"

namespace {

constexpr int kExitAllChanged = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotAllChanged = 2;

void PrintIdUsage() {
  PrintMessage(
      {L"Usage:\n"
       L"  QuorvaneId.exe enable|disable ID [ID...]\n\n"
       L"Shows or hides exactly the endpoints with these ids, as QuorvaneList.exe\n"
       L"prints them, of either flow: one line for each id, in the order given.\n"
       L"Exits 0 when every one was changed, 2 when any was not.\n"});
}

}  // namespace

std::optional<IdRequest> ParseIdCommandLine(int argc, const wchar_t* const argv[]) {
  if (argc < 3) {
    return std::nullopt;
  }
  const std::optional<bool> visible = ParseAction(argv[1]);
  if (!visible) {
    return std::nullopt;
  }
  return IdRequest{*visible, std::span(argv + 2, static_cast<size_t>(argc - 2))};
}

int RunIdCommandLine(int argc, const wchar_t* const argv[]) {
  const std::optional<IdRequest> request = ParseIdCommandLine(argc, argv);
  if (!request) {
    PrintIdUsage();
    return kExitUsage;
  }
  return ApplyVisibilityToIds(request->ids, request->visible) ? kExitAllChanged
                                                              : kExitNotAllChanged;
}
