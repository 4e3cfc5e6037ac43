#include "cli/keywords.h"

namespace {

// Only A-Z fold to a-z: the keywords are ASCII, and a look-alike such as the
// Kelvin sign must not pass for the letter k.
wchar_t FoldAsciiCase(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') ? static_cast<wchar_t>(unit - L'A' + L'a') : unit;
}

struct FlowKeyword {
  const wchar_t* word;
  EDataFlow flow;
};

// Each word is whole, so at most one is equal to any argument.
constexpr FlowKeyword kFlowKeywords[] = {
    {L"render", eRender},     {L"playback", eRender}, {L"capture", eCapture},
    {L"recording", eCapture}, {L"record", eCapture},
};

}  // namespace

bool IsKeyword(const wchar_t* argument, const wchar_t* keyword) {
  for (; *argument != L'\0' && *keyword != L'\0'; ++argument, ++keyword) {
    if (FoldAsciiCase(*argument) != *keyword) {
      return false;
    }
  }
  return *argument == L'\0' && *keyword == L'\0';
}

std::optional<bool> ParseAction(const wchar_t* word) {
  if (IsKeyword(word, L"enable")) {
    return true;
  }
  if (IsKeyword(word, L"disable")) {
    return false;
  }
  return std::nullopt;
}

std::optional<EDataFlow> ParseFlow(const wchar_t* word) {
  for (const FlowKeyword& keyword : kFlowKeywords) {
    if (IsKeyword(word, keyword.word)) {
      return keyword.flow;
    }
  }
  return std::nullopt;
}
