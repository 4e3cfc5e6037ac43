#include "output/console_output.h"

#include <cstddef>
#include <cstdio>

namespace {

// One UTF-16 code unit is always one byte, so a message of up to this many
// code units goes to the runtime in a single write; a longer one (only a
// pathological friendly name makes one) is written in pieces of this size,
// with the same bytes and no allocation that could fail.
constexpr std::size_t kChunkBytes = 4096;

char ConsoleByte(wchar_t unit) { return unit <= 0xFF ? static_cast<char>(unit) : '?'; }

}  // namespace

void PrintMessage(std::initializer_list<std::wstring_view> pieces) {
  // Write failures are not looked at: a run makes the same changes and ends
  // with the same status whether or not anybody can read what it prints.
  char chunk[kChunkBytes];
  std::size_t used = 0;
  for (std::wstring_view piece : pieces) {
    for (wchar_t unit : piece) {
      if (used == kChunkBytes) {
        (void)std::fwrite(chunk, 1, used, stdout);
        used = 0;
      }
      chunk[used++] = ConsoleByte(unit);
    }
  }
  // The runtime writes a stream that goes to a console out at every call, so a
  // console shows each message as soon as it is printed; a pipe or a file is
  // buffered in blocks, which matters when thousands of lines go out.
  (void)std::fwrite(chunk, 1, used, stdout);
}

Hex32Text::Hex32Text(std::uint32_t value) : digits_() {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  for (int position = 7; position >= 0; --position, value >>= 4) {
    digits_[position] = kDigits[value & 0xF];
  }
}
