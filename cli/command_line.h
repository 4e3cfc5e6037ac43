#pragma once

#include <optional>

#include <windows.h>
#include <mmdeviceapi.h>

// What a well-formed command line asks for. The substring is borrowed from the
// argument vector, which outlives the run.
struct SwitchRequest {
  EDataFlow flow;
  const wchar_t* nameSubstring;
  bool visible;
};

// The action, then the flow, then the substring; anything after is ignored.
// Keywords are whole words compared without regard to ASCII letter case.
std::optional<SwitchRequest> ParseCommandLine(int argc, const wchar_t* const argv[]);

// The whole program: usage and 1 for a malformed command line, otherwise one
// switch run, giving 0 when something changed and 2 when nothing did.
int RunCommandLine(int argc, const wchar_t* const argv[]);
