#pragma once

#include <span>

#include <windows.h>
#include <mmdeviceapi.h>

// Shows (visible) or hides every endpoint of `flow`, in any state, whose friendly
// name contains `nameSubstring`, which is never null (case-sensitive; empty
// matches every name that can be read).
// Prints a line for each change and each failure, and the no-match line when
// nothing changed. Owns COM on the calling thread for the length of the call.
// Returns whether at least one endpoint was changed.
bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible);

// Shows (visible) or hides the endpoint of each id, of either flow and in any
// state, and no other. Ids are compared exactly; none is null. Once both flows
// are enumerated, prints exactly one line for each id, in the order given: the
// change (named by the id where the name cannot be read), the policy object's
// or the change's failure, or "No endpoint has id" when no endpoint has it; an
// id given twice is handled twice. A set-up failure prints its own line alone
// and changes nothing. Owns COM on the calling thread for the length of the
// call. Returns whether every id's endpoint was changed.
bool ApplyVisibilityToIds(std::span<const wchar_t* const> ids, bool visible);
