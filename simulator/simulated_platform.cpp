#include "simulator/simulated_platform.h"

#include <cstring>
#include <mutex>

#include <initguid.h>
#include <functiondiscoverykeys_devpkey.h>
#include <propidl.h>
#include <propsys.h>

namespace {

// A failure, or S_FALSE: a step told to answer S_FALSE claims success and still
// hands out no object, which a careful caller must not use.
bool HandsOutNothing(HRESULT status) { return FAILED(status) || status == S_FALSE; }

}  // namespace

// An object is never deleted at a count of zero, so that one Release too many
// is caught as such instead of touching freed memory.
class SimulatedObject {
 public:
  SimulatedObject(SimulatedPlatform& platform, std::wstring label)
      : platform_(platform), label_(std::move(label)) {}
  virtual ~SimulatedObject() = default;
  // Whether the run being checked must give it back: class factories belong to
  // COM's registration instead.
  virtual bool OwedBack() const { return true; }
  const std::wstring& Label() const { return label_; }
  // Drops the creator's reference to what a failed call writes out.
  void DropCreatorsReference() { ReleaseReference(); }
  void AddWhatIsNotGivenBack(std::vector<std::wstring>& lines) const {
    if (OwedBack() && references_ > 0) {
      lines.push_back(L"never released: " + label_);
    }
    if (overReleases_ > 0) {
      lines.push_back(L"released too often: " + label_);
    }
  }

 protected:
  ULONG AddReference() { return ++references_; }
  ULONG ReleaseReference() {
    if (references_ == 0) {
      ++overReleases_;
      return 0;
    }
    if (--references_ == 0 && OwedBack()) {
      platform_.Record(L"release " + label_);
    }
    return references_;
  }
  SimulatedPlatform& platform_;

 private:
  std::wstring label_;
  ULONG references_ = 1;
  int overReleases_ = 0;
};

namespace {

// IUnknown for a fake that answers one interface besides IUnknown.
template <typename Interface>
class ComObject : public SimulatedObject, public Interface {
 public:
  ComObject(SimulatedPlatform& platform, std::wstring label, const IID& iid = __uuidof(Interface))
      : SimulatedObject(platform, std::move(label)), iid_(iid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, iid_) ||
        IsEqualIID(iid, kSimulatorOnlyInterface)) {
      *out = static_cast<Interface*>(this);
      AddReference();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseReference(); }

 private:
  IID iid_;
};

// Methods nobody is meant to call answer E_NOTIMPL.
class SimulatedPropertyStore : public ComObject<IPropertyStore> {
 public:
  SimulatedPropertyStore(SimulatedPlatform& platform, size_t endpoint)
      : ComObject(platform, L"store " + platform.Endpoint(endpoint).id), endpoint_(endpoint) {}
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
    const SimulatedEndpoint& endpoint = platform_.Endpoint(endpoint_);
    const bool friendlyName = IsEqualPropertyKey(key, PKEY_Device_FriendlyName);
    platform_.currentEndpoint = endpoint_;
    // The value is filled even when the call fails, as a careless store might:
    // a failed call's value must still not be read.
    if (!friendlyName || endpoint.nameKind == NameKind::kMissing) {
      value->vt = VT_EMPTY;  // what a store answers for a property it lacks
    } else if (endpoint.nameKind == NameKind::kNotAString) {
      value->vt = VT_UI4;
      value->ulVal = 7;
    } else {
      value->vt = VT_LPWSTR;
      value->pwszVal = endpoint.nameKind == NameKind::kNullString
                           ? nullptr
                           : platform_.AllocateTaskString(endpoint.name, L"name " + endpoint.id);
    }
    return endpoint.valueStatus;
  }
  HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }

 private:
  size_t endpoint_;
};

class SimulatedDevice : public ComObject<IMMDevice> {
 public:
  SimulatedDevice(SimulatedPlatform& platform, size_t endpoint)
      : ComObject(platform, L"device " + platform.Endpoint(endpoint).id), endpoint_(endpoint) {}
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override {
    const SimulatedEndpoint& endpoint = platform_.Endpoint(endpoint_);
    if (!endpoint.idLeftNull) {
      *id = platform_.AllocateTaskString(endpoint.id, L"id " + endpoint.id);
    }
    return endpoint.idStatus;
  }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override {
    const SimulatedEndpoint& endpoint = platform_.Endpoint(endpoint_);
    *store = nullptr;
    // As for a user without administrator rights: endpoint properties are for reading.
    if (access != STGM_READ) {
      return E_ACCESSDENIED;
    }
    if (HandsOutNothing(endpoint.openStatus)) {
      return endpoint.openStatus;
    }
    *store = platform_.Make<SimulatedPropertyStore>(endpoint_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override {
    const SimulatedEndpoint& endpoint = platform_.Endpoint(endpoint_);
    *state = endpoint.State();
    return endpoint.stateStatus;
  }

 private:
  size_t endpoint_;
};

class SimulatedCollection : public ComObject<IMMDeviceCollection> {
 public:
  SimulatedCollection(SimulatedPlatform& platform, std::vector<size_t> members)
      : ComObject(platform, L"collection"), members_(std::move(members)) {}
  HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override {
    const PlatformFailures& failures = platform_.Failures();
    if (SUCCEEDED(failures.countStatus) || failures.countWrittenOnFailure) {
      *count = failures.countWrittenOnFailure.value_or(static_cast<UINT>(members_.size()));
    }
    return failures.countStatus;
  }
  HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** device) override {
    *device = nullptr;
    if (index >= members_.size()) {
      return E_INVALIDARG;
    }
    const SimulatedEndpoint& endpoint = platform_.Endpoint(members_[index]);
    if (FAILED(endpoint.itemStatus) && endpoint.deviceWrittenOnFailure) {
      SimulatedDevice* left = platform_.Make<SimulatedDevice>(members_[index]);
      left->DropCreatorsReference();
      *device = left;
    }
    if (HandsOutNothing(endpoint.itemStatus)) {
      return endpoint.itemStatus;
    }
    *device = platform_.Make<SimulatedDevice>(members_[index]);
    return S_OK;
  }

 private:
  std::vector<size_t> members_;
};

class SimulatedEnumerator : public ComObject<IMMDeviceEnumerator> {
 public:
  explicit SimulatedEnumerator(SimulatedPlatform& platform) : ComObject(platform, L"enumerator") {}
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD stateMask,
                                               IMMDeviceCollection** collection) override {
    *collection = nullptr;
    const PlatformFailures& failures = platform_.Failures();
    const HRESULT status = flow == eCapture && failures.captureEnumerateStatus != S_OK
                               ? failures.captureEnumerateStatus
                               : failures.enumerateStatus;
    if (HandsOutNothing(status)) {
      return status;
    }
    *collection = platform_.Make<SimulatedCollection>(platform_.Select(flow, stateMask));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
    return E_NOTIMPL;
  }
};

// The policy interface as its callers must lay it out, declared apart from the
// tool's own declaration so that a slip in one cannot hide in the other: after
// IUnknown come eleven entries that nobody calls, then SetEndpointVisibility.
struct PolicyConfigLayout : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Entry04() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry05() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry06() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry07() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry08() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry09() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry10() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry11() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry12() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry13() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Entry14() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE SetEndpointVisibility(LPCWSTR endpointId, INT visible) = 0;
};

class SimulatedPolicyConfig : public ComObject<PolicyConfigLayout> {
 public:
  explicit SimulatedPolicyConfig(SimulatedPlatform& platform)
      : ComObject(platform, L"policy", kSimulatedPolicyConfigInterface) {}
  HRESULT STDMETHODCALLTYPE SetEndpointVisibility(LPCWSTR endpointId, INT visible) override {
    const std::wstring id = endpointId == nullptr ? L"(null)" : endpointId;
    platform_.Record(L"SetEndpointVisibility " + id + L" " + std::to_wstring(visible));
    const std::optional<size_t> index = platform_.Find(id);
    if (!index) {
      return platform_.policyAcceptsAnyEndpoint ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    const HRESULT status = platform_.Endpoint(*index).visibilityStatus;
    if (SUCCEEDED(status)) {
      platform_.SetHidden(*index, visible == 0);
    }
    return status;
  }
};

class SimulatedClassFactory : public ComObject<IClassFactory> {
 public:
  SimulatedClassFactory(SimulatedPlatform& platform, SimulatedClass made)
      : ComObject(platform, L"factory"), made_(made) {}
  bool OwedBack() const override { return false; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    if (made_ == SimulatedClass::kEnumerator) {
      const HRESULT status = platform_.Failures().enumeratorStatus;
      return HandsOutNothing(status) ? status
                                     : Hand(platform_.Make<SimulatedEnumerator>(), iid, out);
    }
    if (platform_.currentEndpoint) {
      const SimulatedEndpoint& endpoint = platform_.Endpoint(*platform_.currentEndpoint);
      if (FAILED(endpoint.policyStatus) || endpoint.policyWithoutObject) {
        return endpoint.policyStatus;
      }
    }
    return Hand(platform_.Make<SimulatedPolicyConfig>(), iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  // Hands over the interface asked for and drops the creator's reference.
  static HRESULT Hand(IUnknown* object, REFIID iid, void** out) {
    const HRESULT status = object->QueryInterface(iid, out);
    object->Release();
    return status;
  }
  SimulatedClass made_;
};

// Guards the record of task memory: the spy is process-wide, and COM may allocate
// and free on threads of its own while the tool's thread does the same.
std::mutex& TaskMemoryLock() {
  static std::mutex lock;
  return lock;
}

// Watches the COM task allocator, so that each string handed out is seen freed.
class TaskMemorySpy : public IMallocSpy {
 public:
  static TaskMemorySpy& Instance() {
    static TaskMemorySpy spy;
    return spy;
  }
  bool registered = false;
  SimulatedPlatform* watcher = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    const bool known = IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IMallocSpy));
    *out = known ? this : nullptr;
    return known ? S_OK : E_NOINTERFACE;
  }
  // Lives for the whole process, so its count is never used.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override {
    NoteReused(block);
    return block;
  }
  void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
    const std::lock_guard<std::mutex> held(TaskMemoryLock());
    if (watcher != nullptr && block != nullptr) {
      watcher->NoteTaskMemoryFreed(block);
    }
    return block;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** newBlock, BOOL) override {
    *newBlock = block;
    return size;
  }
  // A block that a reallocation hands out may lie where a freed one was.
  void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override {
    NoteReused(block);
    return block;
  }
  void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  TaskMemorySpy() { registered = SUCCEEDED(CoRegisterMallocSpy(this)); }
  void NoteReused(void* block) {
    const std::lock_guard<std::mutex> held(TaskMemoryLock());
    if (watcher != nullptr && block != nullptr) {
      watcher->NoteTaskMemoryReused(block);
    }
  }
};

}  // namespace

SimulatedPlatform::SimulatedPlatform(std::vector<SimulatedEndpoint> endpoints,
                                     PlatformFailures failures)
    : endpoints_(std::move(endpoints)), failures_(failures) {
  for (size_t index = 0; index < endpoints_.size(); ++index) {
    if (endpoints_[index].id.empty()) {
      endpoints_[index].id = L"{ep" + std::to_wstring(index) + L"}";
    }
    indexById_.emplace(endpoints_[index].id, index);
  }
  TaskMemorySpy& spy = TaskMemorySpy::Instance();
  const std::lock_guard<std::mutex> held(TaskMemoryLock());
  taskMemoryWatched_ = spy.registered;
  spy.watcher = this;
}

SimulatedPlatform::~SimulatedPlatform() {
  TaskMemorySpy& spy = TaskMemorySpy::Instance();
  const std::lock_guard<std::mutex> held(TaskMemoryLock());
  if (spy.watcher == this) {
    spy.watcher = nullptr;
  }
}

IClassFactory* SimulatedPlatform::NewClassFactory(SimulatedClass made) {
  return Make<SimulatedClassFactory>(made);
}

std::optional<size_t> SimulatedPlatform::Find(const std::wstring& id) const {
  const auto found = indexById_.find(id);
  return found == indexById_.end() ? std::nullopt : std::optional<size_t>(found->second);
}

std::vector<size_t> SimulatedPlatform::Select(EDataFlow flow, DWORD stateMask) const {
  std::vector<size_t> members;
  for (size_t index = 0; index < endpoints_.size(); ++index) {
    if (endpoints_[index].flow == flow && (endpoints_[index].State() & stateMask) != 0) {
      members.push_back(index);
    }
  }
  return members;
}

void SimulatedPlatform::SetHidden(size_t index, bool hidden) {
  visibilityChanged_ = visibilityChanged_ || endpoints_[index].hidden != hidden;
  endpoints_[index].hidden = hidden;
}

void SimulatedPlatform::NoteHandedOut(const SimulatedObject& object) {
  if (object.OwedBack()) {
    Record(L"hand out " + object.Label());
  }
}

wchar_t* SimulatedPlatform::AllocateTaskString(const std::wstring& text, std::wstring label) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* block = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (block != nullptr) {
    std::memcpy(block, text.c_str(), bytes);
    Record(L"hand out " + label);
    const std::lock_guard<std::mutex> held(TaskMemoryLock());
    outstandingTaskMemory_[block] = std::move(label);
  }
  return block;
}

void SimulatedPlatform::NoteTaskMemoryFreed(void* block) {
  if (auto found = outstandingTaskMemory_.find(block); found != outstandingTaskMemory_.end()) {
    Record(L"free " + found->second);
    freedTaskMemory_[block] = found->second;
    outstandingTaskMemory_.erase(found);
  } else if (freedTaskMemory_.count(block) != 0) {
    ++doubleFrees_;
  }
}

std::vector<std::wstring> SimulatedPlatform::NotGivenBack() const {
  const std::lock_guard<std::mutex> held(TaskMemoryLock());
  std::vector<std::wstring> lines;
  if (!taskMemoryWatched_) {
    lines.push_back(L"the COM task allocator could not be watched");
  }
  for (const auto& object : objects_) {
    object->AddWhatIsNotGivenBack(lines);
  }
  for (const auto& entry : outstandingTaskMemory_) {
    lines.push_back(L"never freed: " + entry.second);
  }
  if (doubleFrees_ > 0) {
    lines.push_back(L"task memory freed twice: " + std::to_wstring(doubleFrees_));
  }
  return lines;
}
