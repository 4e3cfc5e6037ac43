#include "endpoints/endpoint_walk.h"

#include <cstdint>

#include <objbase.h>
#include <propidl.h>

#include "endpoints/audio_platform.h"
#include "output/console_output.h"

using Microsoft::WRL::ComPtr;

namespace {

// Pairs a successful CoInitialize with its CoUninitialize.
class CoUninitializeAtScopeEnd {
 public:
  CoUninitializeAtScopeEnd() = default;
  CoUninitializeAtScopeEnd(const CoUninitializeAtScopeEnd&) = delete;
  CoUninitializeAtScopeEnd& operator=(const CoUninitializeAtScopeEnd&) = delete;
  ~CoUninitializeAtScopeEnd() { CoUninitialize(); }
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

// A case-sensitive search for the same code units, which an empty substring
// passes and a missing name never. (Wine's wcsstr finds no empty substring in
// an empty name, so the runtime's search is not the one to trust here.)
bool NameMatches(LPCWSTR friendlyName, const wchar_t* nameSubstring) {
  for (LPCWSTR start = friendlyName; start != nullptr; ++start) {
    LPCWSTR name = start;
    const wchar_t* wanted = nameSubstring;
    while (*wanted != L'\0' && *name == *wanted) {
      ++name;
      ++wanted;
    }
    if (*wanted == L'\0') {
      return true;
    }
    if (*start == L'\0') {
      return false;
    }
  }
  return false;
}

// Reads one endpoint and hands it on when it matches. Without an identifier
// there is nothing to act on or to show, so such an endpoint is passed over;
// one whose name cannot be read still matches no substring at all (null).
void VisitEndpoint(IMMDevice& device, EDataFlow flow, const wchar_t* nameSubstring,
                   EndpointVisitor& visitor) {
  TaskMemString endpointId;
  const HRESULT gotId = device.GetId(endpointId.Receive());
  if (FAILED(gotId) || endpointId.Get() == nullptr) {
    return;
  }
  ComPtr<IPropertyStore> properties;
  PropVariantValue friendlyName;
  LPCWSTR name = nullptr;
  if (SucceededWithObject(device.OpenPropertyStore(STGM_READ, &properties), properties)) {
    const HRESULT gotName = properties->GetValue(kFriendlyNameKey, friendlyName.Receive());
    // A failed call's value is never read, whatever it was left holding.
    name = SUCCEEDED(gotName) ? friendlyName.String() : nullptr;
  }
  if (nameSubstring == nullptr || NameMatches(name, nameSubstring)) {
    visitor.Visit({device, flow, endpointId.Get(), name});
  }
}

bool WalkFlow(IMMDeviceEnumerator& enumerator, EDataFlow flow, const wchar_t* nameSubstring,
              EndpointVisitor& visitor) {
  // Every state, hidden (disabled) endpoints included, so that enable can find
  // again what an earlier disable hid, and a listing shows what is hidden.
  ComPtr<IMMDeviceCollection> endpoints;
  const HRESULT enumerated = enumerator.EnumAudioEndpoints(flow, DEVICE_STATEMASK_ALL, &endpoints);
  if (!SucceededWithObject(enumerated, endpoints)) {
    PrintFailure(L"EnumAudioEndpoints failed", enumerated);
    return false;
  }
  // The count's status is not examined: a failure that leaves it at 0 visits nothing.
  UINT count = 0;
  endpoints->GetCount(&count);
  for (UINT index = 0; index < count; ++index) {
    ComPtr<IMMDevice> device;
    if (SucceededWithObject(endpoints->Item(index, &device), device)) {
      VisitEndpoint(*device.Get(), flow, nameSubstring, visitor);
    }
  }
  return true;
}

}  // namespace

bool WalkEndpoints(std::span<const EDataFlow> flows, const wchar_t* nameSubstring,
                   EndpointVisitor& visitor) {
  const HRESULT initialized = CoInitialize(nullptr);
  if (FAILED(initialized)) {
    PrintFailure(L"CoInitialize failed", initialized);
    return false;
  }
  CoUninitializeAtScopeEnd apartment;
  ComPtr<IMMDeviceEnumerator> enumerator;
  const HRESULT created = CoCreateInstance(kMMDeviceEnumeratorClassId, nullptr, CLSCTX_ALL,
                                           kDeviceEnumeratorInterfaceId, &enumerator);
  if (!SucceededWithObject(created, enumerator)) {
    PrintFailure(L"MMDeviceEnumerator CoCreateInstance failed", created);
    return false;
  }
  for (const EDataFlow flow : flows) {
    if (!WalkFlow(*enumerator.Get(), flow, nameSubstring, visitor)) {
      return false;
    }
  }
  return true;
}

const wchar_t* FlowLabel(EDataFlow flow) { return flow == eRender ? L"Playback" : L"Recording"; }

void PrintFailure(const wchar_t* operation, HRESULT status) {
  PrintMessage(
      {operation, L" (hr=0x", Hex32Text(static_cast<std::uint32_t>(status)).View(), L")\n"});
}
