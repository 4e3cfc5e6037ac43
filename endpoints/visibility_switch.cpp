#include "endpoints/visibility_switch.h"

#include <cstdint>
#include <string_view>

#include <objbase.h>
#include <propidl.h>
#include <wrl/client.h>

#include "endpoints/audio_platform.h"
#include "output/console_output.h"

using Microsoft::WRL::ComPtr;

namespace {

// Pairs a successful CoInitialize with its CoUninitialize.
class CoUninitializeOnExit {
 public:
  CoUninitializeOnExit() = default;
  CoUninitializeOnExit(const CoUninitializeOnExit&) = delete;
  CoUninitializeOnExit& operator=(const CoUninitializeOnExit&) = delete;
  ~CoUninitializeOnExit() { CoUninitialize(); }
};

// An endpoint identifier, allocated by the device with the COM task allocator.
class TaskMemString {
 public:
  TaskMemString() = default;
  TaskMemString(const TaskMemString&) = delete;
  TaskMemString& operator=(const TaskMemString&) = delete;
  ~TaskMemString() {
    if (value_ != nullptr) {
      CoTaskMemFree(value_);
    }
  }
  LPWSTR* Receive() { return &value_; }
  LPCWSTR Get() const { return value_; }

 private:
  LPWSTR value_ = nullptr;
};

// A property value, all zero until the store fills it and cleared exactly once.
class PropVariantValue {
 public:
  PropVariantValue() { PropVariantInit(&value_); }
  PropVariantValue(const PropVariantValue&) = delete;
  PropVariantValue& operator=(const PropVariantValue&) = delete;
  ~PropVariantValue() { PropVariantClear(&value_); }
  PROPVARIANT* Receive() { return &value_; }
  // The string when the value holds one, otherwise null.
  LPCWSTR String() const { return value_.vt == VT_LPWSTR ? value_.pwszVal : nullptr; }

 private:
  PROPVARIANT value_;
};

enum class SwitchOutcome { kSetUpFailed, kNoneChanged, kSomeChanged };

// Whether a call that hands out an object gave one. A failed call hands out no
// reference, so whatever it may have left in `object` is neither used nor
// released; a success that leaves it empty is a failure all the same.
template <typename Interface>
bool Received(HRESULT status, ComPtr<Interface>& object) {
  if (FAILED(status)) {
    (void)object.Detach();
    return false;
  }
  return object != nullptr;
}

const wchar_t* FlowLabel(EDataFlow flow) { return flow == eRender ? L"Playback" : L"Recording"; }

const wchar_t* VisibilityLabel(bool visible) { return visible ? L"ENABLED" : L"DISABLED"; }

void PrintFailure(const wchar_t* operation, HRESULT status) {
  PrintMessage(
      {operation, L" (hr=0x", Hex32Text(static_cast<std::uint32_t>(status)).View(), L")\n"});
}

// Asks a fresh policy object to show or hide one endpoint and reports the result.
bool SetVisibility(LPCWSTR endpointId, LPCWSTR friendlyName, EDataFlow flow, bool visible) {
  ComPtr<IPolicyConfig> policy;
  const HRESULT created = CoCreateInstance(kPolicyConfigClassId, nullptr, CLSCTX_ALL,
                                           kPolicyConfigInterfaceId, &policy);
  if (!Received(created, policy)) {
    PrintFailure(L"PolicyConfig CoCreateInstance failed", created);
    return false;
  }
  const HRESULT set = policy->SetEndpointVisibility(endpointId, visible ? 1 : 0);
  if (FAILED(set)) {
    PrintFailure(L"SetEndpointVisibility failed", set);
    return false;
  }
  PrintMessage({FlowLabel(flow), L": ", friendlyName, L" -> ", VisibilityLabel(visible), L"\n"});
  return true;
}

// Endpoints whose identifier or name cannot be read are passed over in silence:
// there is nothing to report about a device the user could not have named.
bool SwitchIfMatching(IMMDevice& device, EDataFlow flow, const wchar_t* nameSubstring,
                      bool visible) {
  TaskMemString endpointId;
  const HRESULT gotId = device.GetId(endpointId.Receive());
  // Without an identifier the policy component would be told to change nothing
  // in particular, so such an endpoint is never handed on.
  if (FAILED(gotId) || endpointId.Get() == nullptr) {
    return false;
  }
  ComPtr<IPropertyStore> properties;
  if (!Received(device.OpenPropertyStore(STGM_READ, &properties), properties)) {
    return false;
  }
  PropVariantValue friendlyName;
  if (FAILED(properties->GetValue(kFriendlyNameKey, friendlyName.Receive()))) {
    return false;
  }
  LPCWSTR name = friendlyName.String();
  // An empty substring is found in every name, the empty name too.
  if (name == nullptr || std::wstring_view(name).find(nameSubstring) == std::wstring_view::npos) {
    return false;
  }
  return SetVisibility(endpointId.Get(), name, flow, visible);
}

SwitchOutcome SwitchEveryMatch(EDataFlow flow, const wchar_t* nameSubstring, bool visible) {
  ComPtr<IMMDeviceEnumerator> enumerator;
  const HRESULT created = CoCreateInstance(kMMDeviceEnumeratorClassId, nullptr, CLSCTX_ALL,
                                           kDeviceEnumeratorInterfaceId, &enumerator);
  if (!Received(created, enumerator)) {
    PrintFailure(L"MMDeviceEnumerator CoCreateInstance failed", created);
    return SwitchOutcome::kSetUpFailed;
  }
  // Every state, hidden (disabled) endpoints included, so that enable can find
  // again what an earlier disable hid.
  ComPtr<IMMDeviceCollection> endpoints;
  const HRESULT enumerated = enumerator->EnumAudioEndpoints(flow, DEVICE_STATEMASK_ALL, &endpoints);
  if (!Received(enumerated, endpoints)) {
    PrintFailure(L"EnumAudioEndpoints failed", enumerated);
    return SwitchOutcome::kSetUpFailed;
  }
  // The count's status is not examined: a failure that leaves it at 0 visits nothing.
  UINT count = 0;
  endpoints->GetCount(&count);

  bool anyChanged = false;
  for (UINT index = 0; index < count; ++index) {
    ComPtr<IMMDevice> device;
    if (!Received(endpoints->Item(index, &device), device)) {
      continue;
    }
    if (SwitchIfMatching(*device.Get(), flow, nameSubstring, visible)) {
      anyChanged = true;
    }
  }
  return anyChanged ? SwitchOutcome::kSomeChanged : SwitchOutcome::kNoneChanged;
}

}  // namespace

bool ApplyVisibilityToMatches(EDataFlow flow, const wchar_t* nameSubstring, bool visible) {
  const HRESULT initialized = CoInitialize(nullptr);
  if (FAILED(initialized)) {
    PrintFailure(L"CoInitialize failed", initialized);
    return false;
  }
  SwitchOutcome outcome;
  {
    CoUninitializeOnExit apartment;
    outcome = SwitchEveryMatch(flow, nameSubstring, visible);
  }
  // Said after COM is given back, and only when the run got as far as looking:
  // set-up failures have already printed their own line.
  if (outcome == SwitchOutcome::kNoneChanged) {
    PrintMessage({L"No endpoints matched substring \"", nameSubstring, L"\" in ", FlowLabel(flow),
                  L" list.\n"});
  }
  return outcome == SwitchOutcome::kSomeChanged;
}
