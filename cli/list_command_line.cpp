#include "cli/list_command_line.h"

#include "cli/keywords.h"
#include "endpoints/endpoint_listing.h"
#include "output/console_output.h"

namespace {

constexpr int kExitListed = 0;
constexpr int kExitUsage = 1;
constexpr int kExitCouldNotAsk = 2;

// One message: the text is this program's own, so nothing asks for its lines
// to be printed one by one.
void PrintListUsage() {
  PrintMessage(
      {L"Usage:\n"
       L"  QuorvaneList.exe [-utf8] [render|capture [\"Name substring\"]]\n\n"
       L"Lists audio endpoints, playback first, one a line: flow, state, id and\n"
       L"friendly name, separated by tabs. With a substring, exactly the endpoints\n"
       L"that Quorvane.exe would act on.\n"
       // Captured output keeps the bytes scripts rely on unless they ask for UTF-8.
       L"With -utf8, captured output is UTF-8 and shows every name whole.\n"});
}

}  // namespace

std::optional<ListRequest> ParseListCommandLine(int argc, const wchar_t* const argv[]) {
  // Only first: after the flow, "-utf8" is a substring like any other.
  const bool utf8 = argc >= 2 && IsKeyword(argv[1], L"-utf8");
  if (utf8) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    return ListRequest{std::nullopt, nullptr, utf8};
  }
  // Unlike Quorvane, nothing after the substring is ignored: a listing that
  // quietly answered a question other than the one asked would mislead.
  const std::optional<EDataFlow> flow = argc <= 3 ? ParseFlow(argv[1]) : std::nullopt;
  if (!flow) {
    return std::nullopt;
  }
  return ListRequest{flow, argc == 3 ? argv[2] : nullptr, utf8};
}

int RunListCommandLine(int argc, const wchar_t* const argv[]) {
  const std::optional<ListRequest> request = ParseListCommandLine(argc, argv);
  if (!request) {
    PrintListUsage();
    return kExitUsage;
  }
  // Both flows, or the one asked for alone.
  const EDataFlow flows[] = {request->flow.value_or(eRender), eCapture};
  const bool listed = ListEndpoints(std::span(flows, request->flow ? 1 : 2), request->nameSubstring,
                                    request->utf8 ? Utf8Bytes : LatinOneBytes);
  return listed ? kExitListed : kExitCouldNotAsk;
}
