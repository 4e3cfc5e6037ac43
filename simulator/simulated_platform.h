#pragma once

// A stand-in for the Windows audio stack: a device enumerator and a policy
// object serving the caller's endpoints, each step of which can be told to
// fail. Its call log records what it hands out and gets back and each
// visibility change; NotGivenBack() names what was not given back exactly
// once. It serves the unit
// tests in process and, as a COM server DLL, Quorvane.exe in the end-to-end
// tests and the demo. It takes none of its identities from the tool, so that a
// wrong identifier there is not mirrored here.

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
  std::wstring name = {};
  EDataFlow flow = eRender;
  // Whether the device is there and plugged in: active, unplugged or not present.
  DWORD presence = DEVICE_STATE_ACTIVE;
  // Hiding is apart from presence: here a hidden endpoint reports itself
  // disabled whatever its presence (Windows does not document what one both
  // hidden and unplugged reports), and showing it again never plugs in a jack.
  bool hidden = false;
  NameKind nameKind = NameKind::kString;
  // Empty: "{epN}", N the endpoint's place in the list.
  std::wstring id = {};

  // How each step answers; S_FALSE for Item or OpenPropertyStore hands out nothing.
  HRESULT itemStatus = S_OK;
  // A failing Item still writes a device, as a careless collection might; the
  // caller owns no reference to it and must neither use nor release it.
  bool deviceWrittenOnFailure = false;
  HRESULT idStatus = S_OK;
  // A failing GetState still writes the state, as a careless device might.
  HRESULT stateStatus = S_OK;
  bool idLeftNull = false;
  HRESULT openStatus = S_OK;
  HRESULT valueStatus = S_OK;
  HRESULT policyStatus = S_OK;
  bool policyWithoutObject = false;
  HRESULT visibilityStatus = S_OK;

  DWORD State() const { return hidden ? DEVICE_STATE_DISABLED : presence; }
};

// Steps that fail for the whole run; S_FALSE hands out no object.
struct PlatformFailures {
  HRESULT enumeratorStatus = S_OK;
  HRESULT enumerateStatus = S_OK;
  // The recording endpoints' enumeration alone, after the playback one worked.
  HRESULT captureEnumerateStatus = S_OK;
  HRESULT countStatus = S_OK;
  // With a failing count: what the call still writes (nothing when empty).
  std::optional<UINT> countWrittenOnFailure = std::nullopt;
};

enum class SimulatedClass { kEnumerator, kPolicyConfig };

// The policy-configuration class and interface, which no SDK header names.
// {870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}
inline constexpr CLSID kSimulatedPolicyConfigClass = {
    0x870AF99C, 0x171D, 0x4F9E, {0xAF, 0x0D, 0xE6, 0x3D, 0xF4, 0x0C, 0x2B, 0xC9}};
// {F8679F50-850A-41CF-9C72-430F290290C8}
inline constexpr IID kSimulatedPolicyConfigInterface = {
    0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};

// Answered by every object of the simulator and by nothing of Windows: a test
// asks for it to prove that COM hands out the simulator's classes.
// {5E1F0A2C-7B3D-4C8E-9A61-2D4F6B8C0E13}
inline constexpr IID kSimulatorOnlyInterface = {
    0x5E1F0A2C, 0x7B3D, 0x4C8E, {0x9A, 0x61, 0x2D, 0x4F, 0x6B, 0x8C, 0x0E, 0x13}};

class SimulatedObject;

class SimulatedPlatform {
 public:
  explicit SimulatedPlatform(std::vector<SimulatedEndpoint> endpoints = {},
                             PlatformFailures failures = {});
  ~SimulatedPlatform();
  SimulatedPlatform(const SimulatedPlatform&) = delete;
  SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

  // A class factory for one of the two classes, with one reference for the caller.
  IClassFactory* NewClassFactory(SimulatedClass made);

  const std::vector<SimulatedEndpoint>& Endpoints() const { return endpoints_; }
  const std::vector<std::wstring>& CallLog() const { return callLog_; }
  bool VisibilityChanged() const { return visibilityChanged_; }
  // A line for each object or string not given back exactly once.
  std::vector<std::wstring> NotGivenBack() const;

  // Used by the simulated objects.
  void Record(std::wstring entry) { callLog_.push_back(std::move(entry)); }
  const PlatformFailures& Failures() const { return failures_; }
  SimulatedEndpoint& Endpoint(size_t index) { return endpoints_[index]; }
  std::vector<size_t> Select(EDataFlow flow, DWORD stateMask) const;
  std::optional<size_t> Find(const std::wstring& id) const;
  void SetHidden(size_t index, bool hidden);
  // A new object with one reference, for its creator.
  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto object = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = object.get();
    objects_.push_back(std::move(object));
    NoteHandedOut(*raw);
    return raw;
  }
  void NoteHandedOut(const SimulatedObject& object);
  wchar_t* AllocateTaskString(const std::wstring& text, std::wstring label);
  void NoteTaskMemoryFreed(void* block);
  void NoteTaskMemoryReused(void* block) { freedTaskMemory_.erase(block); }
  // The endpoint whose name was read last: the one the next policy object is for.
  std::optional<size_t> currentEndpoint;
  // Beside another platform's enumerator: unknown identifiers are shown or hidden too.
  bool policyAcceptsAnyEndpoint = false;

 private:
  std::vector<SimulatedEndpoint> endpoints_;
  PlatformFailures failures_;
  std::vector<std::wstring> callLog_;
  std::map<std::wstring, size_t> indexById_;
  std::vector<std::unique_ptr<SimulatedObject>> objects_;
  std::map<void*, std::wstring> outstandingTaskMemory_;
  std::map<void*, std::wstring> freedTaskMemory_;
  int doubleFrees_ = 0;
  bool taskMemoryWatched_ = false;
  bool visibilityChanged_ = false;
};
