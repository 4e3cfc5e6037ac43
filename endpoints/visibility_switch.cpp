#include "endpoints/visibility_switch.h"

#include "endpoints/audio_platform.h"
#include "endpoints/endpoint_walk.h"
#include "output/console_output.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t* VisibilityLabel(bool visible) { return visible ? L"ENABLED" : L"DISABLED"; }

// Asks a fresh policy object to show or hide one endpoint and reports the result.
bool SetVisibility(const Endpoint& endpoint, bool visible) {
  ComPtr<IPolicyConfig> policy;
  const HRESULT created = CoCreateInstance(kPolicyConfigClassId, nullptr, CLSCTX_ALL,
                                           kPolicyConfigInterfaceId, &policy);
  if (!SucceededWithObject(created, policy)) {
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

class VisibilitySwitch final : public EndpointVisitor {
 public:
  explicit VisibilitySwitch(bool visible) : visible_(visible) {}
  void Visit(const Endpoint& endpoint) override {
    if (SetVisibility(endpoint, visible_)) {
      anyChanged_ = true;
    }
  }
  bool AnyChanged() const { return anyChanged_; }

 private:
  bool visible_;
  bool anyChanged_ = false;
};

}  // namespace

bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible) {
  VisibilitySwitch visibilitySwitch(visible);
  const EDataFlow flows[] = {flow};
  // Always with a substring, so endpoints whose name cannot be read are passed
  // over in silence: there is nothing to report about a device the user could
  // not have named.
  const bool walked = WalkEndpoints(flows, nameSubstring, visibilitySwitch);
  // Said after COM is given back, and only when the run got as far as looking:
  // set-up failures have already printed their own line.
  if (walked && !visibilitySwitch.AnyChanged()) {
    PrintMessage({L"No endpoints matched substring \"", nameSubstring, L"\" in ", FlowLabel(flow),
                  L" list.\n"});
  }
  return visibilitySwitch.AnyChanged();
}
