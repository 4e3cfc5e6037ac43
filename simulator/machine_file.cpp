#include "simulator/machine_file.h"

#include <cstdlib>

#include <windows.h>

namespace {

std::wstring WideFromUtf8(std::string_view text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

DWORD PresenceOf(std::string_view word) {
  return word == "active"       ? DEVICE_STATE_ACTIVE
         : word == "unplugged"  ? DEVICE_STATE_UNPLUGGED
         : word == "notpresent" ? DEVICE_STATE_NOTPRESENT
                                : 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next blank-separated word, consumed from `rest` with one separator after it.
std::string_view NextWord(std::string_view& rest) {
  size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) {
    ++start;
  }
  size_t end = start;
  while (end < rest.size() && !IsBlank(rest[end])) {
    ++end;
  }
  const std::string_view word = rest.substr(start, end - start);
  rest.remove_prefix(end < rest.size() ? end + 1 : end);
  return word;
}

// Calls `each` with every line, without its line feed or carriage return.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  for (size_t number = 1; !text.empty(); ++number) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    each(number, line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

SimulatedMachine ParseMachineFile(std::string_view text) {
  SimulatedMachine machine;
  ForEachLine(text, [&machine, text](size_t number, std::string_view rest) {
    const std::string_view keyword = NextWord(rest);
    if (keyword.empty() || keyword[0] == '#') {
      return;
    }
    if (keyword == "policy" && NextWord(rest) == "any-endpoint") {
      machine.policyAcceptsAnyEndpoint = true;
      return;
    }
    if (keyword == "refuse") {
      const std::wstring id = WideFromUtf8(NextWord(rest));
      const std::string status(NextWord(rest));
      char* end = nullptr;
      const unsigned long code = std::strtoul(status.c_str(), &end, 16);
      for (SimulatedEndpoint& endpoint : machine.endpoints) {
        if (endpoint.id == id && !status.empty() && *end == '\0') {
          endpoint.visibilityStatus = static_cast<HRESULT>(code);
          return;
        }
      }
    }
    const std::string_view flow = NextWord(rest);
    const std::string_view presence = NextWord(rest);
    const std::string_view visibility = NextWord(rest);
    const std::string_view id = NextWord(rest);
    SimulatedEndpoint endpoint{.name = WideFromUtf8(rest),
                               .flow = flow == "render" ? eRender : eCapture,
                               .presence = PresenceOf(presence),
                               .hidden = visibility == "hidden",
                               .id = WideFromUtf8(id)};
    if (keyword != "endpoint" || (flow != "render" && flow != "capture") ||
        endpoint.presence == 0 || (visibility != "shown" && visibility != "hidden") || id.empty()) {
      machine.problems.push_back(L"line " + std::to_wstring(number) +
                                 L": expected: endpoint render|capture active|unplugged|notpresent "
                                 L"shown|hidden ID NAME, policy any-endpoint, or refuse ID STATUS");
      return;
    }
    machine.endpoints.push_back(std::move(endpoint));
    machine.visibilityAt.push_back(static_cast<size_t>(visibility.data() - text.data()));
  });
  return machine;
}

std::string WithCurrentVisibility(std::string text, const std::vector<size_t>& visibilityAt,
                                  const std::vector<SimulatedEndpoint>& endpoints) {
  // From the end, so that the places before each rewrite stay where they were.
  for (size_t index = visibilityAt.size(); index-- > 0;) {
    const size_t at = visibilityAt[index];
    text.replace(at, text.find_first_of(" \t", at) - at,
                 endpoints[index].hidden ? "hidden" : "shown");
  }
  return text;
}
