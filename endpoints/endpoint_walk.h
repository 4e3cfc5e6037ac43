#pragma once

// The reading half of the tool, shared by Quorvane.exe and QuorvaneList.exe so
// that the two can never see a different set of endpoints or names: COM on the
// calling thread, the enumerator, every endpoint of a flow in every state, its
// identifier and friendly name, and the match on that name, which decides what
// either program is handed.

#include <span>

#include <windows.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

// One endpoint as the walk has read it, still held by the walk. The identifier
// is never null; the friendly name is null when it cannot be read as a string.
struct Endpoint {
  IMMDevice& device;
  EDataFlow flow;
  LPCWSTR id;
  LPCWSTR friendlyName;
};

// What is done with each endpoint, while the walk holds it.
class EndpointVisitor {
 public:
  virtual void Visit(const Endpoint& endpoint) = 0;

 protected:
  EndpointVisitor() = default;
  EndpointVisitor(const EndpointVisitor&) = default;
  EndpointVisitor& operator=(const EndpointVisitor&) = default;
  ~EndpointVisitor() = default;
};

// Enters COM, creates the device enumerator and visits each endpoint of each
// flow in turn, in collection order, whose friendly name contains
// `nameSubstring`: a case-sensitive search for the same code units, which an
// empty substring passes and a missing name never. With no substring (null),
// every endpoint, those whose name cannot be read too. An endpoint whose
// identifier cannot be read is passed over. Gives everything back, the last
// taken first, before it returns. Prints the failure line and returns false
// when it could not ask: COM, the enumerator or an enumeration failed.
bool WalkEndpoints(std::span<const EDataFlow> flows, const wchar_t* nameSubstring,
                   EndpointVisitor& visitor);

// Whether a call that hands out an object gave one. A failed call hands out no
// reference, so whatever it may have left in `object` is neither used nor
// released; a success that leaves it empty is a failure all the same.
template <typename Interface>
bool SucceededWithObject(HRESULT status, Microsoft::WRL::ComPtr<Interface>& object) {
  if (FAILED(status)) {
    (void)object.Detach();
    return false;
  }
  return object != nullptr;
}

const wchar_t* FlowLabel(EDataFlow flow);

// "OPERATION (hr=0xXXXXXXXX)", the status as its bit pattern.
void PrintFailure(const wchar_t* operation, HRESULT status);
