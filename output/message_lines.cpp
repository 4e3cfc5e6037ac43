#include "output/message_lines.h"

#include <cstdint>

#include "output/console_output.h"

const wchar_t* FlowLabel(EDataFlow flow) { return flow == eRender ? L"Playback" : L"Recording"; }

void PrintFailure(const wchar_t* operation, HRESULT status) {
  PrintMessage(
      {operation, L" (hr=0x", Hex32Text(static_cast<std::uint32_t>(status)).View(), L")\n"});
}
