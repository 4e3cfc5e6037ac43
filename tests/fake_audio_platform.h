#pragma once

// An in-process stand-in for the Windows audio stack: a device enumerator and a
// policy-configuration class of our own, registered with COM under the real
// class identities for as long as a FakeAudioPlatform lives, so the tool's own
// CoCreateInstance calls reach them. Every call made on them is written to a
// journal, every object and task-memory string they hand out is accounted for,
// and each step can be told to fail.

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

struct FakeEndpoint {
  std::wstring name;
  EDataFlow flow = eRender;
  DWORD state = DEVICE_STATE_ACTIVE;
  NameKind nameKind = NameKind::kString;

  // How this endpoint answers each step; S_OK is a working step.
  HRESULT itemStatus = S_OK;
  HRESULT idStatus = S_OK;
  bool idLeftNull = false;
  HRESULT openStatus = S_OK;
  HRESULT valueStatus = S_OK;
  HRESULT policyStatus = S_OK;
  bool policyWithoutObject = false;
  HRESULT visibilityStatus = S_OK;
};

// The steps that fail for the whole run rather than for one endpoint.
struct PlatformFailures {
  HRESULT enumeratorStatus = S_OK;
  HRESULT enumerateStatus = S_OK;
  HRESULT countStatus = S_OK;
  // With a failing count: what the call still writes (nothing when empty).
  std::optional<UINT> countWrittenOnFailure = std::nullopt;
};

class FakeObjectBase;

class FakeAudioPlatform {
 public:
  explicit FakeAudioPlatform(std::vector<FakeEndpoint> endpoints = {},
                             PlatformFailures failures = {});
  ~FakeAudioPlatform();
  FakeAudioPlatform(const FakeAudioPlatform&) = delete;
  FakeAudioPlatform& operator=(const FakeAudioPlatform&) = delete;

  // Endpoint identifiers are derived from the endpoint's place in the list.
  static std::wstring IdOf(size_t endpointIndex);

  const std::vector<FakeEndpoint>& Endpoints() const { return endpoints_; }
  const std::vector<std::wstring>& Journal() const { return journal_; }

  // Objects still referenced, over-releases, and task-memory strings that were
  // never freed or freed twice: all must be empty or zero after a run.
  int LiveObjects() const;
  int OverReleases() const;
  std::vector<std::wstring> UnfreedTaskMemory() const;
  int DoubleFrees() const { return doubleFrees_; }

  // Used by the fake objects.
  void Record(std::wstring entry) { journal_.push_back(std::move(entry)); }
  const PlatformFailures& Failures() const { return failures_; }
  FakeEndpoint& Endpoint(size_t index) { return endpoints_[index]; }
  std::vector<size_t> Select(EDataFlow flow, DWORD stateMask) const;
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
  std::vector<FakeEndpoint> endpoints_;
  PlatformFailures failures_;
  std::vector<std::wstring> journal_;
  std::vector<std::unique_ptr<FakeObjectBase>> objects_;
  std::map<void*, std::wstring> outstandingTaskMemory_;
  std::map<void*, std::wstring> freedTaskMemory_;
  int doubleFrees_ = 0;
  DWORD enumeratorCookie_ = 0;
  DWORD policyCookie_ = 0;
};

// Lets a test see every byte a call writes to standard output, exactly as the
// C runtime's text-mode stream writes it.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;
  // Ends the capture and returns what was written.
  std::string Finish();

 private:
  std::wstring path_;
  int savedStdout_ = -1;
};

// COM on the test's thread for the length of a scope.
class TestApartment {
 public:
  explicit TestApartment(DWORD mode = COINIT_APARTMENTTHREADED) {
    status_ = CoInitializeEx(nullptr, mode);
  }
  ~TestApartment() {
    if (SUCCEEDED(status_)) {
      CoUninitialize();
    }
  }
  TestApartment(const TestApartment&) = delete;
  TestApartment& operator=(const TestApartment&) = delete;
  HRESULT Status() const { return status_; }

 private:
  HRESULT status_;
};
