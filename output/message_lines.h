#pragma once

// The words and the failure line that every program prints alike.

#include <windows.h>
#include <mmdeviceapi.h>

// "Playback" for eRender, "Recording" for any other flow.
const wchar_t* FlowLabel(EDataFlow flow);

// "OPERATION (hr=0xXXXXXXXX)", the status as its bit pattern, on a line of its own.
void PrintFailure(const wchar_t* operation, HRESULT status);
