#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

// Shows (visible) or hides every endpoint of `flow`, in any state, whose friendly
// name contains `nameSubstring` (case-sensitive; empty matches every name).
// Prints a line for each change and each failure, and the no-match line when
// nothing changed. Owns COM on the calling thread for the length of the call.
// Returns whether at least one endpoint was changed.
bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible);
