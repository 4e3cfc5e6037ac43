#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include <windows.h>

// How the UTF-16 code units of one piece of a message become the bytes written
// where there is no console. `bytes` holds 3 bytes for each unit; the result
// is the number of bytes made. Line feeds stay line feeds: the stream's text
// mode writes each as CR LF.
using ByteEncoder = std::size_t (*)(const wchar_t* units, std::size_t count, char* bytes);

// The bytes scripts rely on: each unit up to U+00FF as the byte of that value,
// each one above as '?'.
std::size_t LatinOneBytes(const wchar_t* units, std::size_t count, char* bytes);

// UTF-8 without a byte-order mark: a surrogate pair as the four bytes of its
// character, a surrogate without its other half as U+FFFD, never invalid UTF-8.
std::size_t Utf8Bytes(const wchar_t* units, std::size_t count, char* bytes);

// Prints one message on standard output, made of the given pieces in order.
//
// A console holds characters, so there every character shows whole, each line
// feed as CR LF. Anything else (a pipe, a file, NUL) receives the bytes that
// `encode` makes, LatinOneBytes unless another is named. Pieces are never read
// as formats, so a '%' prints as it is.
void PrintMessage(std::initializer_list<std::wstring_view> pieces);
void PrintMessage(ByteEncoder encode, std::initializer_list<std::wstring_view> pieces);

// How characters reach a console: WriteConsoleW, or a test's stand-in for it.
using ConsoleWriter = BOOL(WINAPI*)(HANDLE, const VOID*, DWORD, LPDWORD, LPVOID);

// One message: as characters to `console` through `writeConsole` when there is
// a console, and as the bytes `encode` makes on `bytes` when there is none or
// from where it stops taking them. Each piece handed to the console holds
// whole characters, each line feed as CR LF.
void WriteMessage(HANDLE console, ConsoleWriter writeConsole, std::FILE* bytes, ByteEncoder encode,
                  std::initializer_list<std::wstring_view> pieces);

// Eight upper-case hexadecimal digits, for printing a status as its bit pattern.
class Hex32Text {
 public:
  explicit Hex32Text(std::uint32_t value);
  std::wstring_view View() const { return std::wstring_view(digits_, 8); }

 private:
  wchar_t digits_[8];
};
