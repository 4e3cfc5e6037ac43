#pragma once

#include <windows.h>

// Whether Wine is underneath: its ntdll exports a version call that Windows' lacks.
inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
