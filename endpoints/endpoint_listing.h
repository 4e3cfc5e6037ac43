#pragma once

#include <span>

#include <windows.h>
#include <mmdeviceapi.h>

#include "output/console_output.h"

// Prints a line for each endpoint of the flows, in order, that Quorvane would
// act on with `nameSubstring`: "flow<TAB>state<TAB>id<TAB>friendly name". With
// no substring (null), every endpoint, those whose name cannot be read too,
// with an empty name. Where standard output is no console, the lines are the
// bytes `encode` makes of them. Changes nothing. Returns false, after the
// failure line, when it could not ask: COM, the enumerator or an enumeration
// failed. That line is ASCII, the same bytes in any encoding.
bool ListEndpoints(std::span<const EDataFlow> flows, const wchar_t* nameSubstring,
                   ByteEncoder encode);
