#include "endpoints/endpoint_walk.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include <objbase.h>
#include <propidl.h>

#include "endpoints/audio_platform.h"
#include "output/message_lines.h"

using Microsoft::WRL::ComPtr;

namespace {

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

// Reads one endpoint and hands it on when it is selected. Without an
// identifier there is nothing to act on or to show, so such an endpoint is
// passed over; one whose name cannot be read still matches no substring at all
// (null). One selected by id is known before its name is read.
void VisitEndpoint(IMMDevice& device, EDataFlow flow, EndpointSelection selection,
                   EndpointVisitor& visitor) {
  TaskMemString endpointId;
  const HRESULT gotId = device.GetId(endpointId.Receive());
  if (FAILED(gotId) || endpointId.Get() == nullptr) {
    return;
  }
  // Ids are compared as the lister prints them: the same code units, every one.
  if (selection.id != nullptr && std::wcscmp(endpointId.Get(), selection.id) != 0) {
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
  if (selection.nameSubstring == nullptr || NameMatches(name, selection.nameSubstring)) {
    visitor.Visit({device, flow, endpointId.Get(), name});
  }
}

}  // namespace

ComApartment::~ComApartment() {
  if (entered_) {
    CoUninitialize();
  }
}

HRESULT ComApartment::Enter() {
  const HRESULT initialized = CoInitialize(nullptr);
  entered_ = SUCCEEDED(initialized);
  return initialized;
}

bool EndpointSet::Open(std::span<const EDataFlow> flows) {
  const HRESULT initialized = apartment_.Enter();
  if (FAILED(initialized)) {
    PrintFailure(L"CoInitialize failed", initialized);
    return false;
  }
  const HRESULT created = CoCreateInstance(kMMDeviceEnumeratorClassId, nullptr, CLSCTX_ALL,
                                           kDeviceEnumeratorInterfaceId, &enumerator_);
  if (!SucceededWithObject(created, enumerator_)) {
    PrintFailure(L"MMDeviceEnumerator CoCreateInstance failed", created);
    return false;
  }
  for (const EDataFlow flow : flows.first(std::min(flows.size(), std::size(collections_)))) {
    // Every state, hidden (disabled) endpoints included, so that enable can
    // find again what an earlier disable hid, and a listing shows what is hidden.
    ComPtr<IMMDeviceCollection>& endpoints = collections_[flowCount_];
    const HRESULT enumerated =
        enumerator_->EnumAudioEndpoints(flow, DEVICE_STATEMASK_ALL, &endpoints);
    if (!SucceededWithObject(enumerated, endpoints)) {
      PrintFailure(L"EnumAudioEndpoints failed", enumerated);
      return false;
    }
    flows_[flowCount_++] = flow;
  }
  return true;
}

void EndpointSet::Visit(EndpointSelection selection, EndpointVisitor& visitor) const {
  for (size_t flow = 0; flow < flowCount_; ++flow) {
    // The count's status is not examined: a failure that leaves it at 0 visits nothing.
    UINT count = 0;
    collections_[flow]->GetCount(&count);
    for (UINT index = 0; index < count; ++index) {
      ComPtr<IMMDevice> device;
      if (SucceededWithObject(collections_[flow]->Item(index, &device), device)) {
        VisitEndpoint(*device.Get(), flows_[flow], selection, visitor);
      }
    }
  }
}

bool WalkEndpoints(std::span<const EDataFlow> flows, EndpointSelection selection,
                   EndpointVisitor& visitor) {
  EndpointSet endpoints;
  if (!endpoints.Open(flows)) {
    return false;
  }
  endpoints.Visit(selection, visitor);
  return true;
}
