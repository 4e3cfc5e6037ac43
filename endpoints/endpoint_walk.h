#pragma once

// The reading half of the tool, shared by all three programs so that they can
// never see a different set of endpoints or names: COM on the calling thread,
// the enumerator, every endpoint of a flow in every state, its identifier and
// friendly name, and the selection by name or by id, which decides what each
// program is handed.

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

// Which endpoints a walk hands on. With a substring, those whose friendly name
// contains it: a case-sensitive search for the same code units, which an empty
// substring passes and a missing name never. With an id, those whose
// identifier is exactly that one. With neither (both null), every endpoint,
// those whose name cannot be read too.
struct EndpointSelection {
  const wchar_t* nameSubstring = nullptr;
  const wchar_t* id = nullptr;
};

// COM entered on the calling thread (single-threaded apartment), and left
// again when this goes, if it was entered.
class ComApartment {
 public:
  ComApartment() = default;
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment();
  HRESULT Enter();

 private:
  bool entered_ = false;
};

// The endpoints of one or two flows, held from Open until the set goes: COM
// entered on this thread, the device enumerator, and each flow's collection of
// endpoints in every state, hidden ones included. Everything is given back when
// the set goes, the last taken first.
class EndpointSet {
 public:
  EndpointSet() = default;
  EndpointSet(const EndpointSet&) = delete;
  EndpointSet& operator=(const EndpointSet&) = delete;

  // Takes everything a walk needs, before anything is visited; called once
  // for a set, with one or two flows. Prints the failure line and returns
  // false when it could not ask: COM, the enumerator or an enumeration failed.
  bool Open(std::span<const EDataFlow> flows);

  // Visits each endpoint of each flow in turn, in collection order, that
  // `selection` selects. An endpoint whose identifier cannot be read is passed
  // over. Visits as often as it is asked.
  void Visit(EndpointSelection selection, EndpointVisitor& visitor) const;

 private:
  // Given back in the reverse of this order: the collections, the last
  // first, then the enumerator, then COM.
  ComApartment apartment_;
  Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
  Microsoft::WRL::ComPtr<IMMDeviceCollection> collections_[2];
  EDataFlow flows_[2] = {};
  size_t flowCount_ = 0;
};

// One set opened and visited once: true once it has visited, false after the
// failure line when it could not ask.
bool WalkEndpoints(std::span<const EDataFlow> flows, EndpointSelection selection,
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
