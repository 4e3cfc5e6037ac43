#include "cli/list_command_line.h"

#include "cli/keywords.h"
#include "endpoints/endpoint_listing.h"
#include "output/console_output.h"

namespace {

constexpr int kExitListed = 0;
constexpr int kExitUsage = 1;
constexpr int kExitCouldNotAsk = 2;

void PrintListUsage() {
  PrintMessage({L"Usage:\n"});
  PrintMessage({L"  QuorvaneList.exe [render|capture [\"Name substring\"]]\n\n"});
  PrintMessage({L"Lists audio endpoints, playback first, one a line: flow, state, id and\n"});
  PrintMessage({L"friendly name, separated by tabs. With a substring, exactly the endpoints\n"});
  PrintMessage({L"that Quorvane.exe enable|disable would act on.\n"});
  // Captured output keeps the bytes scripts rely on; only a console holds every character.
  PrintMessage({L"A console shows every name whole.\n"});
}

}  // namespace

std::optional<ListRequest> ParseListCommandLine(int argc, const wchar_t* const argv[]) {
  if (argc < 2) {
    return ListRequest{std::nullopt, nullptr};
  }
  // Unlike Quorvane, nothing after the substring is ignored: a listing that
  // quietly answered a question other than the one asked would mislead.
  const std::optional<EDataFlow> flow = argc <= 3 ? ParseFlow(argv[1]) : std::nullopt;
  if (!flow) {
    return std::nullopt;
  }
  return ListRequest{flow, argc == 3 ? argv[2] : nullptr};
}

int RunListCommandLine(int argc, const wchar_t* const argv[]) {
  const std::optional<ListRequest> request = ParseListCommandLine(argc, argv);
  if (!request) {
    PrintListUsage();
    return kExitUsage;
  }
  const EDataFlow both[] = {eRender, eCapture};
  const EDataFlow one[] = {request->flow.value_or(eRender)};
  const bool listed = request->flow ? ListEndpoints(one, request->nameSubstring)
                                    : ListEndpoints(both, request->nameSubstring);
  return listed ? kExitListed : kExitCouldNotAsk;
}
