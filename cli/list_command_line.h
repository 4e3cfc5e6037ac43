#pragma once

#include <optional>

#include <windows.h>
#include <mmdeviceapi.h>

// What a well-formed QuorvaneList command line asks for: one flow or both, the
// substring Quorvane would match, or none (null) for every endpoint, and
// whether output that is not a console is UTF-8.
struct ListRequest {
  std::optional<EDataFlow> flow;
  const wchar_t* nameSubstring;
  bool utf8;
};

// [-utf8] then nothing, FLOW, or FLOW SUBSTRING, with Quorvane's own flow
// keywords; the switch is a whole word in any ASCII letter case, as they are.
std::optional<ListRequest> ParseListCommandLine(int argc, const wchar_t* const argv[]);

// The whole listing program: usage and 1 for a malformed command line, 0 once
// it has listed (even nothing), 2 when it could not ask the platform.
int RunListCommandLine(int argc, const wchar_t* const argv[]);
