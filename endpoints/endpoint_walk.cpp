#include "endpoints/endpoint_walk.h"

#include <cstdint>
#include <string_view>

#include <objbase.h>
#include <propidl.h>

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

// Reads one endpoint and hands it to the visitor. Without an identifier there
// is nothing to act on or to show, so such an endpoint is passed over; one
// whose name cannot be read is still visited, with no name.
void VisitEndpoint(IMMDevice& device, EDataFlow flow, EndpointVisitor& visitor) {
  TaskMemString endpointId;
  const HRESULT gotId = device.GetId(endpointId.Receive());
  if (FAILED(gotId) || endpointId.Get() == nullptr) {
    return;
  }
  ComPtr<IPropertyStore> properties;
  if (!Received(device.OpenPropertyStore(STGM_READ, &properties), properties)) {
    visitor.Visit({device, flow, endpointId.Get(), nullptr});
    return;
  }
  PropVariantValue friendlyName;
  const HRESULT gotName = properties->GetValue(kFriendlyNameKey, friendlyName.Receive());
  // A failed call's value is never read, whatever it was left holding.
  visitor.Visit(
      {device, flow, endpointId.Get(), SUCCEEDED(gotName) ? friendlyName.String() : nullptr});
}

bool WalkFlow(IMMDeviceEnumerator& enumerator, EDataFlow flow, EndpointVisitor& visitor) {
  // Every state, hidden (disabled) endpoints included, so that enable can find
  // again what an earlier disable hid, and a listing shows what is hidden.
  ComPtr<IMMDeviceCollection> endpoints;
  const HRESULT enumerated = enumerator.EnumAudioEndpoints(flow, DEVICE_STATEMASK_ALL, &endpoints);
  if (!Received(enumerated, endpoints)) {
    PrintFailure(L"EnumAudioEndpoints failed", enumerated);
    return false;
  }
  // The count's status is not examined: a failure that leaves it at 0 visits nothing.
  UINT count = 0;
  endpoints->GetCount(&count);
  for (UINT index = 0; index < count; ++index) {
    ComPtr<IMMDevice> device;
    if (Received(endpoints->Item(index, &device), device)) {
      VisitEndpoint(*device.Get(), flow, visitor);
    }
  }
  return true;
}

}  // namespace

bool WalkEndpoints(std::span<const EDataFlow> flows, EndpointVisitor& visitor) {
  const HRESULT initialized = CoInitialize(nullptr);
  if (FAILED(initialized)) {
    PrintFailure(L"CoInitialize failed", initialized);
    return false;
  }
  CoUninitializeOnExit apartment;
  ComPtr<IMMDeviceEnumerator> enumerator;
  const HRESULT created = CoCreateInstance(kMMDeviceEnumeratorClassId, nullptr, CLSCTX_ALL,
                                           kDeviceEnumeratorInterfaceId, &enumerator);
  if (!Received(created, enumerator)) {
    PrintFailure(L"MMDeviceEnumerator CoCreateInstance failed", created);
    return false;
  }
  for (const EDataFlow flow : flows) {
    if (!WalkFlow(*enumerator.Get(), flow, visitor)) {
      return false;
    }
  }
  return true;
}

bool NameMatches(LPCWSTR friendlyName, const wchar_t* nameSubstring) {
  return friendlyName != nullptr &&
         std::wstring_view(friendlyName).find(nameSubstring) != std::wstring_view::npos;
}

const wchar_t* FlowLabel(EDataFlow flow) { return flow == eRender ? L"Playback" : L"Recording"; }

void PrintFailure(const wchar_t* operation, HRESULT status) {
  PrintMessage(
      {operation, L" (hr=0x", Hex32Text(static_cast<std::uint32_t>(status)).View(), L")\n"});
}
