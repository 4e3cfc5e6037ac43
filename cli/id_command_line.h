#pragma once

#include <optional>
#include <span>

// What a well-formed QuorvaneId command line asks for: the action, and the ids
// borrowed from the argument vector, which outlives the run.
struct IdRequest {
  bool visible;
  std::span<const wchar_t* const> ids;
};

// The action, enable or disable as a whole word in any ASCII letter case, then
// one id or more, each taken as it is, the empty one too.
std::optional<IdRequest> ParseIdCommandLine(int argc, const wchar_t* const argv[]);

// The whole id program: usage and 1 for a malformed command line, otherwise one
// change run, giving 0 when every id's endpoint was changed and 2 when any was not.
int RunIdCommandLine(int argc, const wchar_t* const argv[]);
