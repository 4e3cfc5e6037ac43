#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include <windows.h>

// Prints one message on standard output, made of the given pieces in order.
//
// A console holds characters, so there every character shows whole, each line
// feed as CR LF. Anything else (a pipe, a file, NUL) receives bytes that a
// script can rely on: each UTF-16 code unit up to U+00FF as the byte of that
// value and each one above as '?', line feeds as CR LF by the stream's text
// mode. Pieces are never read as formats, so a '%' prints as it is.
void PrintMessage(std::initializer_list<std::wstring_view> pieces);

// How characters reach a console: WriteConsoleW, or a test's stand-in for it.
using ConsoleWriter = BOOL(WINAPI*)(HANDLE, const VOID*, DWORD, LPDWORD, LPVOID);

// One message: as characters to `console` through `writeConsole` when there is
// a console, and as bytes on `bytes` when there is none or it refuses them.
// Each piece handed to the console holds whole characters, each line feed as
// CR LF.
void WriteMessage(HANDLE console, ConsoleWriter writeConsole, std::FILE* bytes,
                  std::initializer_list<std::wstring_view> pieces);

// Eight upper-case hexadecimal digits, for printing a status as its bit pattern.
class Hex32Text {
 public:
  explicit Hex32Text(std::uint32_t value);
  std::wstring_view View() const { return std::wstring_view(digits_, 8); }

 private:
  wchar_t digits_[8];
};
