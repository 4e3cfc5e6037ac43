#pragma once

#include <optional>

#include <windows.h>
#include <mmdeviceapi.h>

// Whether the argument is the keyword as a whole word, in any ASCII letter case.
bool IsKeyword(const wchar_t* argument, const wchar_t* keyword);

// The action keyword, enable or disable, in any ASCII letter case: whether
// the endpoints are to be shown; nothing for any other word.
std::optional<bool> ParseAction(const wchar_t* word);

// A flow keyword: render or playback, capture, recording or record, in any
// ASCII letter case; nothing for any other word.
std::optional<EDataFlow> ParseFlow(const wchar_t* word);
