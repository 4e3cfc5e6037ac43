#include "endpoints/visibility_switch.h"

#include "endpoints/audio_platform.h"
#include "endpoints/endpoint_walk.h"
#include "output/console_output.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t* VisibilityLabel(bool visible) { return visible ? L"ENABLED" : L"DISABLED"; }

// Asks a fresh policy object to show or hide one endpoint and reports the result.
bool SetVisibility(const SeenEndpoint& endpoint, bool visible) {
  ComPtr<IPolicyConfig> policy;
  const HRESULT created = CoCreateInstance(kPolicyConfigClassId, nullptr, CLSCTX_ALL,
                                           kPolicyConfigInterfaceId, &policy);
  if (!Received(created, policy)) {
    PrintFailure(L"PolicyConfig CoCreateInstance failed", created);
    return false;
  }
  const HRESULT set = policy->SetEndpointVisibility(endpoint.id, visible ? 1 : 0);
  if (FAILED(set)) {
    PrintFailure(L"SetEndpointVisibility failed", set);
    return false;
  }
  PrintMessage({FlowLabel(endpoint.flow), L": ", endpoint.friendlyName, L" -> ",
                VisibilityLabel(visible), L"\n"});
  return true;
}

// Endpoints whose name cannot be read are passed over in silence: there is
// nothing to report about a device the user could not have named.
class VisibilitySwitch final : public EndpointVisitor {
 public:
  VisibilitySwitch(const wchar_t* nameSubstring, bool visible)
      : nameSubstring_(nameSubstring), visible_(visible) {}
  void Visit(const SeenEndpoint& endpoint) override {
    if (NameMatches(endpoint.friendlyName, nameSubstring_) && SetVisibility(endpoint, visible_)) {
      anyChanged_ = true;
    }
  }
  bool AnyChanged() const { return anyChanged_; }

 private:
  const wchar_t* nameSubstring_;
  bool visible_;
  bool anyChanged_ = false;
};

}  // namespace

bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible) {
  VisibilitySwitch visibilitySwitch(nameSubstring, visible);
  const EDataFlow flows[] = {flow};
  const bool walked = WalkEndpoints(flows, visibilitySwitch);
  // Said after COM is given back, and only when the run got as far as looking:
  // set-up failures have already printed their own line.
  if (walked && !visibilitySwitch.AnyChanged()) {
    PrintMessage({L"No endpoints matched substring \"", nameSubstring, L"\" in ", FlowLabel(flow),
                  L" list.\n"});
  }
  return visibilitySwitch.AnyChanged();
}
