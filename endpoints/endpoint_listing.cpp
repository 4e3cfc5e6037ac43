#include "endpoints/endpoint_listing.h"

#include "endpoints/endpoint_walk.h"
#include "output/console_output.h"
#include "output/message_lines.h"

namespace {

// The state word for what IMMDevice::GetState gave, or "unknown" when it failed.
const wchar_t* StateWord(HRESULT status, DWORD state) {
  if (FAILED(status)) {
    return L"unknown";
  }
  switch (state) {
    case DEVICE_STATE_ACTIVE:
      return L"active";
    // Disabled in the Sound control panel, which is what hiding does
    // (Microsoft's DEVICE_STATE_XXX constants). What a hidden endpoint that is
    // also unplugged or absent reports is not documented.
    case DEVICE_STATE_DISABLED:
      return L"disabled";
    case DEVICE_STATE_NOTPRESENT:
      return L"notpresent";
    case DEVICE_STATE_UNPLUGGED:
      return L"unplugged";
    default:
      return L"unknown";
  }
}

class EndpointLister final : public EndpointVisitor {
 public:
  explicit EndpointLister(ByteEncoder encode) : encode_(encode) {}
  void Visit(const Endpoint& endpoint) override {
    DWORD state = 0;
    const HRESULT gotState = endpoint.device.GetState(&state);
    PrintMessage(encode_,
                 {FlowLabel(endpoint.flow), L"\t", StateWord(gotState, state), L"\t", endpoint.id,
                  L"\t", endpoint.friendlyName != nullptr ? endpoint.friendlyName : L"", L"\n"});
  }

 private:
  ByteEncoder encode_;
};

}  // namespace

bool ListEndpoints(std::span<const EDataFlow> flows, const wchar_t* nameSubstring,
                   ByteEncoder encode) {
  EndpointLister lister(encode);
  return WalkEndpoints(flows, {.nameSubstring = nameSubstring}, lister);
}
