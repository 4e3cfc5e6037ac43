#include "simulator/machine_file.h"

#include <cstdlib>
#include <map>

#include <windows.h>

namespace {

struct StateWord {
  const char* word;
  DWORD state;
};

constexpr StateWord kStates[] = {
    {"active", DEVICE_STATE_ACTIVE},
    {"disabled", DEVICE_STATE_DISABLED},
    {"notpresent", DEVICE_STATE_NOTPRESENT},
    {"unplugged", DEVICE_STATE_UNPLUGGED},
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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

bool ParseStatus(std::string_view word, HRESULT& status) {
  const std::string text(word);
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || value > 0xFFFFFFFFull) {
    return false;
  }
  status = static_cast<HRESULT>(static_cast<unsigned long>(value));
  return true;
}

bool DecodeName(std::string_view raw, std::wstring& name) {
  const std::wstring wide = WideFromUtf8(raw);
  name.clear();
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] != L'\\') {
      name.push_back(wide[i]);
      continue;
    }
    if (++i == wide.size()) {
      return false;
    }
    switch (wide[i]) {
      case L'\\':
        name.push_back(L'\\');
        break;
      case L'n':
        name.push_back(L'\n');
        break;
      case L'r':
        name.push_back(L'\r');
        break;
      case L't':
        name.push_back(L'\t');
        break;
      case L'<':
        name.push_back(L'<');
        break;
      case L'u': {
        if (i + 4 >= wide.size()) {
          return false;
        }
        const std::wstring digits = wide.substr(i + 1, 4);
        wchar_t* end = nullptr;
        const unsigned long unit = std::wcstoul(digits.c_str(), &end, 16);
        if (*end != L'\0') {
          return false;
        }
        name.push_back(static_cast<wchar_t>(unit));
        i += 4;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::wstring LineProblem(size_t number, const wchar_t* what) {
  return L"line " + std::to_wstring(number) + L": " + what;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

SimulatedMachine ParseMachineFile(std::string_view text) {
  SimulatedMachine machine;
  struct EndpointFailure {
    std::string step;
    HRESULT status;
    std::wstring id;  // empty: every endpoint
    size_t line;
  };
  std::vector<EndpointFailure> endpointFailures;

  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t index = 0; index < lines.size(); ++index) {
    const size_t number = index + 1;
    std::string_view rest = WithoutCarriageReturn(lines[index]);
    const std::string_view keyword = NextWord(rest);
    if (keyword.empty() || keyword[0] == '#') {
      continue;
    }
    if (keyword == "endpoint") {
      SimulatedEndpoint endpoint;
      const std::string_view flow = NextWord(rest);
      const std::string_view state = NextWord(rest);
      const std::string_view id = NextWord(rest);
      if (flow == "render" || flow == "capture") {
        endpoint.flow = flow == "render" ? eRender : eCapture;
      } else {
        machine.problems.push_back(LineProblem(number, L"the flow is render or capture"));
        continue;
      }
      bool knownState = false;
      for (const StateWord& word : kStates) {
        if (state == word.word) {
          endpoint.state = word.state;
          knownState = true;
        }
      }
      if (!knownState) {
        machine.problems.push_back(
            LineProblem(number, L"the state is active, disabled, notpresent or unplugged"));
        continue;
      }
      if (id.empty()) {
        machine.problems.push_back(LineProblem(number, L"an endpoint needs an identifier"));
        continue;
      }
      endpoint.id = WideFromUtf8(id);
      if (rest == "<none>") {
        endpoint.nameKind = NameKind::kMissing;
      } else if (rest == "<number>") {
        endpoint.nameKind = NameKind::kNotAString;
      } else if (rest == "<null>") {
        endpoint.nameKind = NameKind::kNullString;
      } else if (!DecodeName(rest, endpoint.name)) {
        machine.problems.push_back(LineProblem(number, L"a name has an unknown escape"));
        continue;
      }
      machine.endpoints.push_back(std::move(endpoint));
    } else if (keyword == "fail") {
      const std::string step(NextWord(rest));
      HRESULT status = S_OK;
      if (step != "policy-empty" && !ParseStatus(NextWord(rest), status)) {
        machine.problems.push_back(LineProblem(number, L"a failure needs a status"));
        continue;
      }
      const std::string_view last = NextWord(rest);
      if (step == "enumerator") {
        machine.failures.enumeratorStatus = status;
      } else if (step == "enumerate") {
        machine.failures.enumerateStatus = status;
      } else if (step == "count") {
        machine.failures.countStatus = status;
        if (last.substr(0, 8) == "written=") {
          machine.failures.countWrittenOnFailure =
              static_cast<UINT>(std::strtoul(std::string(last.substr(8)).c_str(), nullptr, 10));
        }
      } else {
        endpointFailures.push_back({step, status, WideFromUtf8(last), number});
      }
    } else if (keyword == "policy" && NextWord(rest) == "any-endpoint") {
      machine.failures.policyAcceptsAnyEndpoint = true;
    } else {
      machine.problems.push_back(
          LineProblem(number, L"a line starts with endpoint, fail or policy any-endpoint"));
    }
  }

  for (const EndpointFailure& failure : endpointFailures) {
    bool known = true;
    bool found = false;
    for (SimulatedEndpoint& endpoint : machine.endpoints) {
      if (!failure.id.empty() && endpoint.id != failure.id) {
        continue;
      }
      found = true;
      if (failure.step == "item") {
        endpoint.itemStatus = failure.status;
      } else if (failure.step == "id") {
        endpoint.idStatus = failure.status;
        endpoint.idLeftNull = true;
      } else if (failure.step == "open") {
        endpoint.openStatus = failure.status;
      } else if (failure.step == "value") {
        endpoint.valueStatus = failure.status;
      } else if (failure.step == "policy") {
        endpoint.policyStatus = failure.status;
      } else if (failure.step == "policy-empty") {
        endpoint.policyWithoutObject = true;
      } else if (failure.step == "visibility") {
        endpoint.visibilityStatus = failure.status;
      } else {
        known = false;
      }
    }
    if (!known) {
      machine.problems.push_back(LineProblem(failure.line, L"no such step"));
    } else if (!found && !failure.id.empty()) {
      machine.problems.push_back(LineProblem(failure.line, L"no endpoint has that identifier"));
    }
  }
  return machine;
}

std::string WithCurrentStates(std::string_view text,
                              const std::vector<SimulatedEndpoint>& endpoints) {
  std::map<std::wstring, DWORD> stateById;
  for (const SimulatedEndpoint& endpoint : endpoints) {
    stateById[endpoint.id] = endpoint.state;
  }
  std::string rewritten;
  rewritten.reserve(text.size());
  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t index = 0; index < lines.size(); ++index) {
    const std::string_view line = lines[index];
    std::string_view rest = line;
    const std::string_view keyword = NextWord(rest);
    NextWord(rest);  // flow
    const size_t stateStart = static_cast<size_t>(rest.data() - line.data());
    const std::string_view oldState = NextWord(rest);
    const auto current = stateById.find(WideFromUtf8(NextWord(rest)));
    if (keyword != "endpoint" || current == stateById.end()) {
      rewritten.append(line);
    } else {
      const size_t stateAt = line.find(oldState, stateStart);
      rewritten.append(line.substr(0, stateAt));
      for (const StateWord& word : kStates) {
        if (word.state == current->second) {
          rewritten.append(word.word);
        }
      }
      rewritten.append(line.substr(stateAt + oldState.size()));
    }
    if (index + 1 < lines.size() || (!text.empty() && text.back() == '\n')) {
      rewritten.push_back('\n');
    }
  }
  return rewritten;
}
