// The floor for the benchmark: Quorvane's own code with printing taken out, so
// that it makes exactly the same platform calls and writes nothing.

#include "output/console_output.h"

void PrintMessage(std::initializer_list<std::wstring_view>) {}

Hex32Text::Hex32Text(std::uint32_t) : digits_() {}
