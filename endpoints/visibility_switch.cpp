#include "endpoints/visibility_switch.h"

#include "endpoints/audio_platform.h"
#include "endpoints/endpoint_walk.h"
#include "output/console_output.h"
#include "output/message_lines.h"

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

// Changes the first endpoint it is handed, and only that one: an id names one
// endpoint, so the line the caller counts on is never printed twice.
class SingleEndpointSwitch final : public EndpointVisitor {
 public:
  explicit SingleEndpointSwitch(bool visible) : visible_(visible) {}
  void Visit(const Endpoint& endpoint) override {
    if (!found_) {
      found_ = true;
      // Without a name the id stands in for it, so that the line still says which.
      const wchar_t* name = endpoint.friendlyName != nullptr ? endpoint.friendlyName : endpoint.id;
      changed_ = SetVisibility({endpoint.device, endpoint.flow, endpoint.id, name}, visible_);
    }
  }
  bool Found() const { return found_; }
  bool Changed() const { return changed_; }

 private:
  bool visible_;
  bool found_ = false;
  bool changed_ = false;
};

}  // namespace

bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible) {
  VisibilitySwitch visibilitySwitch(visible);
  const EDataFlow flows[] = {flow};
  // Always with a substring, so endpoints whose name cannot be read are passed
  // over in silence: there is nothing to report about a device the user could
  // not have named.
  const bool walked = WalkEndpoints(flows, {.nameSubstring = nameSubstring}, visibilitySwitch);
  // Said after COM is given back, and only when the run got as far as looking:
  // set-up failures have already printed their own line.
  if (walked && !visibilitySwitch.AnyChanged()) {
    PrintMessage({L"No endpoints matched substring \"", nameSubstring, L"\" in ", FlowLabel(flow),
                  L" list.\n"});
  }
  return visibilitySwitch.AnyChanged();
}

bool ApplyVisibilityToIds(std::span<const wchar_t* const> ids, bool visible) {
  // Both flows are enumerated before anything changes, so that a set-up
  // failure leaves every endpoint as it was.
  EndpointSet endpoints;
  const EDataFlow flows[] = {eRender, eCapture};
  if (!endpoints.Open(flows)) {
    return false;
  }
  bool allChanged = true;
  for (const wchar_t* id : ids) {
    SingleEndpointSwitch endpointSwitch(visible);
    endpoints.Visit({.id = id}, endpointSwitch);
    if (!endpointSwitch.Found()) {
      PrintMessage({L"No endpoint has id \"", id, L"\".\n"});
    }
    allChanged = allChanged && endpointSwitch.Changed();
  }
  return allChanged;
}
