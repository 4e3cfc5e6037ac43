#pragma once

#include <windows.h>
#include <mmdeviceapi.h>

// Shows (visible) or hides every endpoint of `flow`, in any state, whose friendly
// name contains `nameSubstring`, which is never null (case-sensitive; empty
// matches every name that can be read).
// Prints a line for each change and each failure, and the no-match line when
// nothing changed. Owns COM on the calling thread for the length of the call.
// Returns whether at least one endpoint was changed.
bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible);
