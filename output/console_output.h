#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

// Prints one message on standard output, made of the given pieces in order.
//
// Text becomes bytes here rather than in the C runtime's wide printing: each
// UTF-16 code unit up to U+00FF is written as the byte of that value and each
// one above as '?', so a name with characters the console cannot show is never
// cut short. Pieces are never read as formats, so a '%' prints as it is. Line
// feeds become CR LF in the stream's text mode.
void PrintMessage(std::initializer_list<std::wstring_view> pieces);

// Eight upper-case hexadecimal digits, for printing a status as its bit pattern.
class Hex32Text {
 public:
  explicit Hex32Text(std::uint32_t value);
  std::wstring_view View() const { return std::wstring_view(digits_, 8); }

 private:
  wchar_t digits_[8];
};
