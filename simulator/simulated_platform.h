#pragma once

// A stand-in for the Windows audio stack where the real one is absent: a device
// enumerator (IMMDeviceEnumerator, IMMDeviceCollection, IMMDevice,
// IPropertyStore) and a policy-configuration object, serving a list of
// endpoints that the caller supplies. Every call made on them is written to a
// journal, every object and task-memory string they hand out is accounted for,
// and each step can be told to fail, for one endpoint or for all.
//
// It serves the in-process unit tests directly and, wrapped in a COM server
// DLL, the real Quorvane.exe in the end-to-end tests and the demo.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <mmdeviceapi.h>
#include <objbase.h>

// What an endpoint's friendly-name property holds.
enum class NameKind { kString, kMissing, kNotAString, kNullString };

struct SimulatedEndpoint {
  std::wstring name;
  EDataFlow flow = eRender;
  DWORD state = DEVICE_STATE_ACTIVE;
  NameKind nameKind = NameKind::kString;
  // Empty: derived from the endpoint's place in the list.
  std::wstring id = {};

  // How this endpoint answers each step; S_OK is a working step, S_FALSE for
  // Item or OpenPropertyStore a success that hands out no object.
  HRESULT itemStatus = S_OK;
  HRESULT idStatus = S_OK;
  bool idLeftNull = false;
  HRESULT openStatus = S_OK;
  HRESULT valueStatus = S_OK;
  HRESULT policyStatus = S_OK;
  bool policyWithoutObject = false;
  HRESULT visibilityStatus = S_OK;
};

// The steps that fail for the whole run rather than for one endpoint; S_FALSE
// for creating the enumerator or EnumAudioEndpoints hands out no object.
struct PlatformFailures {
  HRESULT enumeratorStatus = S_OK;
  HRESULT enumerateStatus = S_OK;
  HRESULT countStatus = S_OK;
  // With a failing count: what the call still writes (nothing when empty).
  std::optional<UINT> countWrittenOnFailure = std::nullopt;
  // For standing beside another enumerator: identifiers this platform does not
  // know are shown or hidden too (only the journal remembers them).
  bool policyAcceptsAnyEndpoint = false;
};

enum class SimulatedClass { kEnumerator, kPolicyConfig };

class SimulatedObject;

class SimulatedPlatform {
 public:
  explicit SimulatedPlatform(std::vector<SimulatedEndpoint> endpoints = {},
                             PlatformFailures failures = {});
  ~SimulatedPlatform();
  SimulatedPlatform(const SimulatedPlatform&) = delete;
  SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

  static std::wstring IdOf(size_t endpointIndex);

  // A class factory for one of the two classes, with one reference for the caller.
  IClassFactory* NewClassFactory(SimulatedClass made);

  const std::vector<SimulatedEndpoint>& Endpoints() const { return endpoints_; }
  const std::vector<std::wstring>& Journal() const { return journal_; }
  bool StatesChanged() const { return statesChanged_; }

  // Objects still referenced, over-releases, and task-memory strings never
  // freed or freed twice: all must be zero or empty after a run.
  int LiveObjects() const;
  int OverReleases() const;
  std::vector<std::wstring> UnfreedTaskMemory() const;
  int DoubleFrees() const { return doubleFrees_; }
  // Everything above as lines; empty when everything came back exactly once.
  std::vector<std::wstring> Ledger() const;
  bool TaskMemoryWatched() const;

  // Used by the simulated objects.
  void Record(std::wstring entry) { journal_.push_back(std::move(entry)); }
  const PlatformFailures& Failures() const { return failures_; }
  SimulatedEndpoint& Endpoint(size_t index) { return endpoints_[index]; }
  std::vector<size_t> Select(EDataFlow flow, DWORD stateMask) const;
  std::optional<size_t> Find(const std::wstring& id) const;
  void SetState(size_t index, DWORD state);
  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto object = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = object.get();
    objects_.push_back(std::move(object));
    return raw;
  }
  wchar_t* AllocateTaskString(const std::wstring& text, std::wstring label);
  void NoteTaskMemoryFreed(void* block);
  void NoteTaskMemoryReused(void* block);
  // The endpoint whose name was read last: the one the next policy object is for.
  std::optional<size_t> currentEndpoint;

 private:
  std::vector<SimulatedEndpoint> endpoints_;
  PlatformFailures failures_;
  std::vector<std::wstring> journal_;
  std::map<std::wstring, size_t> indexById_;
  std::vector<std::unique_ptr<SimulatedObject>> objects_;
  std::map<void*, std::wstring> outstandingTaskMemory_;
  std::map<void*, std::wstring> freedTaskMemory_;
  int doubleFrees_ = 0;
  bool statesChanged_ = false;
};
