#include "output/console_output.h"

namespace {

// A message is handed on in pieces of at most this many UTF-16 code units, so
// that a long one (only a pathological friendly name makes one) needs no
// allocation that could fail, and each buffer stays within one page of stack.
constexpr std::size_t kPieceUnits = 512;

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// Writes one piece to the console while it takes them, as bytes otherwise. A
// console that takes only part of a piece is handed the rest; once it takes
// nothing more, the units it has not taken go out as bytes, and so does the
// rest of the message, so that nothing is lost or written twice.
void WritePiece(HANDLE& console, ConsoleWriter writeConsole, std::FILE* stream, ByteEncoder encode,
                const wchar_t* units, std::size_t count) {
  if (console != nullptr) {
    // The characters themselves, each line feed as CR LF, as a console holds them.
    wchar_t characters[2 * kPieceUnits];
    DWORD used = 0;
    for (std::size_t index = 0; index < count; ++index) {
      if (units[index] == L'\n') {
        characters[used++] = L'\r';
      }
      characters[used++] = units[index];
    }
    DWORD taken = 0;
    for (DWORD written = 0;
         taken < used &&
         writeConsole(console, characters + taken, used - taken, &written, nullptr) != FALSE &&
         written != 0;) {
      taken += written;
    }
    if (taken >= used) {
      return;
    }
    console = nullptr;
    // Past the units the console took whole, counted in what it was handed:
    // a line feed is two characters there.
    for (; count != 0 && taken >= (*units == L'\n' ? 2u : 1u); ++units, --count) {
      taken -= *units == L'\n' ? 2 : 1;
    }
  }
  char bytes[3 * kPieceUnits];
  // Write failures are not looked at: a run makes the same changes and ends
  // with the same status whether or not anybody can read what it prints.
  (void)std::fwrite(bytes, 1, encode(units, count, bytes), stream);
}

// The console that standard output is, or null for anything else: a pipe, a
// file, NUL, or no handle at all. Asked once: what standard output is does not
// change during a run.
HANDLE StandardOutputConsole() {
  static const auto console = [] {
    const auto output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return output != INVALID_HANDLE_VALUE && output != nullptr && GetConsoleMode(output, &mode)
               ? output
               : nullptr;
  }();
  return console;
}

}  // namespace

std::size_t LatinOneBytes(const wchar_t* units, std::size_t count, char* bytes) {
  for (std::size_t index = 0; index < count; ++index) {
    bytes[index] = units[index] <= 0xFF ? static_cast<char>(units[index]) : '?';
  }
  return count;
}

void WriteMessage(HANDLE console, ConsoleWriter writeConsole, std::FILE* bytes, ByteEncoder encode,
                  std::initializer_list<std::wstring_view> pieces) {
  wchar_t units[kPieceUnits];
  std::size_t used = 0;
  const std::wstring_view* piece = pieces.begin();
  std::size_t next = 0;  // in *piece
  for (bool more = true; more;) {
    for (;;) {
      while (piece != pieces.end() && next == piece->size()) {
        ++piece;
        next = 0;
      }
      if (used == kPieceUnits || piece == pieces.end()) {
        break;
      }
      units[used++] = (*piece)[next++];
    }
    // More is left only when this piece is full.
    more = used == kPieceUnits && piece != pieces.end();
    // The two halves of a surrogate pair stay in one piece, so that neither the
    // console nor the encoder ever receives half a character.
    const std::size_t whole = more && IsHighSurrogate(units[used - 1]) ? used - 1 : used;
    WritePiece(console, writeConsole, bytes, encode, units, whole);
    if (whole != used) {
      units[0] = units[whole];
    }
    used -= whole;
  }
}

void PrintMessage(ByteEncoder encode, std::initializer_list<std::wstring_view> pieces) {
  WriteMessage(StandardOutputConsole(), WriteConsoleW, stdout, encode, pieces);
}

void PrintMessage(std::initializer_list<std::wstring_view> pieces) {
  PrintMessage(LatinOneBytes, pieces);
}

Hex32Text::Hex32Text(std::uint32_t value) : digits_() {
  for (int position = 7; position >= 0; --position, value >>= 4) {
    const unsigned digit = value & 0xF;
    digits_[position] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'A' - 10 + digit);
  }
}
