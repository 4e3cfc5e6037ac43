#include <cstdint>

#include "output/console_output.h"

// Apart from the rest of the output, so that only a program that asks for
// UTF-8 carries it.
std::size_t Utf8Bytes(const wchar_t* units, std::size_t count, char* bytes) {
  // The first byte's high bits, by how many bytes follow it.
  static constexpr unsigned char kLeads[] = {0x00, 0xC0, 0xE0, 0xF0};
  std::size_t made = 0;
  for (std::size_t index = 0; index < count; ++index) {
    std::uint32_t code = units[index];
    if (code >= 0xD800 && code <= 0xDBFF && index + 1 < count && units[index + 1] >= 0xDC00 &&
        units[index + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++index] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      // Half a pair alone is no character, and UTF-8 has no bytes for it.
      code = 0xFFFD;
    }
    const int following = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    bytes[made++] = static_cast<char>(kLeads[following] | (code >> (6 * following)));
    for (int shift = 6 * (following - 1); shift >= 0; shift -= 6) {
      bytes[made++] = static_cast<char>(0x80 | ((code >> shift) & 0x3F));
    }
  }
  return made;
}
