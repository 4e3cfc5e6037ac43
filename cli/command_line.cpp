#include "cli/command_line.h"

#include "endpoints/visibility_switch.h"
#include "output/console_output.h"

namespace {

constexpr int kExitChanged = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNothingChanged = 2;

// Only A-Z fold to a-z: the keywords are ASCII, and a look-alike such as the
// Kelvin sign must not pass for the letter k.
wchar_t FoldAsciiCase(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

bool IsKeyword(const wchar_t* argument, const wchar_t* keyword) {
  for (; *argument != L'\0' && *keyword != L'\0'; ++argument, ++keyword) {
    if (FoldAsciiCase(*argument) != *keyword) {
      return false;
    }
  }
  return *argument == L'\0' && *keyword == L'\0';
}

struct FlowKeyword {
  const wchar_t* word;
  EDataFlow flow;
};

constexpr FlowKeyword kFlowKeywords[] = {
    {L"render", eRender},     {L"playback", eRender}, {L"capture", eCapture},
    {L"recording", eCapture}, {L"record", eCapture},
};

}  // namespace

std::optional<SwitchRequest> ParseCommandLine(int argc, const wchar_t* const argv[]) {
  if (argc < 4) {
    return std::nullopt;
  }
  bool visible;
  if (IsKeyword(argv[1], L"enable")) {
    visible = true;
  } else if (IsKeyword(argv[1], L"disable")) {
    visible = false;
  } else {
    return std::nullopt;
  }
  for (const FlowKeyword& keyword : kFlowKeywords) {
    if (IsKeyword(argv[2], keyword.word)) {
      return SwitchRequest{keyword.flow, argv[3], visible};
    }
  }
  return std::nullopt;
}

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
