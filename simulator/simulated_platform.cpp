#include "simulator/simulated_platform.h"

#include <cstdio>
#include <cstring>

#include <propidl.h>
#include <propsys.h>

#include "endpoints/audio_platform.h"

namespace {

// A failure, or S_FALSE: a step told to answer S_FALSE claims success and still
// hands out no object, which a careful caller must not use.
bool HandsOutNothing(HRESULT status) { return FAILED(status) || status == S_FALSE; }

std::wstring Hex(DWORD value) {
  wchar_t text[16];
  (void)swprintf(text, 16, L"0x%lX", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

// Reference counts start at 1 for the creator. An object is never deleted when
// its count reaches zero, only marked as given back, so a further Release is
// caught as an over-release instead of touching freed memory.
class SimulatedObject {
 public:
  SimulatedObject(SimulatedPlatform& platform, std::wstring label)
      : platform_(platform), label_(std::move(label)) {}
  virtual ~SimulatedObject() = default;
  bool Live() const { return references_ > 0; }
  const std::wstring& Label() const { return label_; }
  // Class factories belong to COM's registration, not to the run being checked.
  virtual bool HandedToTool() const { return true; }
  int overReleases = 0;

 protected:
  ULONG AddReference() { return ++references_; }
  ULONG ReleaseReference() {
    if (references_ == 0) {
      ++overReleases;
      return 0;
    }
    if (--references_ == 0 && HandedToTool()) {
      platform_.Record(L"release " + label_);
    }
    return references_;
  }
  SimulatedPlatform& platform_;

 private:
  std::wstring label_;
  ULONG references_ = 1;
};

namespace {

// IUnknown for a fake that answers one interface besides IUnknown; every other
// method nobody is meant to call answers E_NOTIMPL.
template <typename Interface>
class ComObject : public SimulatedObject, public Interface {
 public:
  ComObject(SimulatedPlatform& platform, std::wstring label, const IID& iid = __uuidof(Interface))
      : SimulatedObject(platform, std::move(label)), iid_(iid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, iid_)) {
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

class SimulatedPropertyStore : public ComObject<IPropertyStore> {
 public:
  SimulatedPropertyStore(SimulatedPlatform& platform, size_t endpoint)
      : ComObject(platform, L"store " + platform.Endpoint(endpoint).id), endpoint_(endpoint) {}
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
    const std::wstring& id = platform_.Endpoint(endpoint_).id;
    const bool friendlyName =
        IsEqualGUID(key.fmtid, kFriendlyNameKey.fmtid) && key.pid == kFriendlyNameKey.pid;
    platform_.Record(L"GetValue " + id + (friendlyName ? L" FriendlyName" : L" other key"));
    const SimulatedEndpoint& endpoint = platform_.Endpoint(endpoint_);
    platform_.currentEndpoint = endpoint_;
    if (FAILED(endpoint.valueStatus)) {
      return endpoint.valueStatus;
    }
    if (!friendlyName || endpoint.nameKind == NameKind::kMissing) {
      value->vt = VT_EMPTY;  // what a store answers for a property it lacks
      return S_OK;
    }
    switch (endpoint.nameKind) {
      case NameKind::kNotAString:
        value->vt = VT_UI4;
        value->ulVal = 7;
        break;
      case NameKind::kNullString:
        value->vt = VT_LPWSTR;
        value->pwszVal = nullptr;
        break;
      default:
        value->vt = VT_LPWSTR;
        value->pwszVal = platform_.AllocateTaskString(endpoint.name, L"name " + id);
        break;
    }
    return S_OK;
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
    platform_.Record(L"GetId " + endpoint.id);
    if (!endpoint.idLeftNull) {
      *id = platform_.AllocateTaskString(endpoint.id, L"id " + endpoint.id);
    }
    return endpoint.idStatus;
  }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override {
    platform_.Record(L"OpenPropertyStore " + platform_.Endpoint(endpoint_).id + L" mode=" +
                     Hex(access));
    const HRESULT status = platform_.Endpoint(endpoint_).openStatus;
    if (HandsOutNothing(status)) {
      *store = nullptr;
      return status;
    }
    *store = platform_.Make<SimulatedPropertyStore>(endpoint_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

 private:
  size_t endpoint_;
};

class SimulatedCollection : public ComObject<IMMDeviceCollection> {
 public:
  SimulatedCollection(SimulatedPlatform& platform, std::vector<size_t> members)
      : ComObject(platform, L"collection"), members_(std::move(members)) {}
  HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override {
    platform_.Record(L"GetCount");
    const PlatformFailures& failures = platform_.Failures();
    if (FAILED(failures.countStatus)) {
      if (failures.countWrittenOnFailure) {
        *count = *failures.countWrittenOnFailure;
      }
      return failures.countStatus;
    }
    *count = static_cast<UINT>(members_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** device) override {
    platform_.Record(L"Item " + std::to_wstring(index));
    *device = nullptr;
    if (index >= members_.size()) {
      return E_INVALIDARG;
    }
    const size_t endpoint = members_[index];
    const HRESULT status = platform_.Endpoint(endpoint).itemStatus;
    if (HandsOutNothing(status)) {
      return status;
    }
    *device = platform_.Make<SimulatedDevice>(endpoint);
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
    platform_.Record(L"EnumAudioEndpoints flow=" + std::to_wstring(flow) + L" mask=" +
                     Hex(stateMask));
    *collection = nullptr;
    const HRESULT status = platform_.Failures().enumerateStatus;
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

class SimulatedPolicyConfig : public ComObject<IPolicyConfig> {
 public:
  explicit SimulatedPolicyConfig(SimulatedPlatform& platform)
      : ComObject(platform, L"policy", kPolicyConfigInterfaceId) {}
  HRESULT STDMETHODCALLTYPE SetEndpointVisibility(LPCWSTR endpointId, INT visible) override {
    const std::wstring id = endpointId == nullptr ? L"(null)" : endpointId;
    platform_.Record(L"SetEndpointVisibility " + id + L" " + std::to_wstring(visible));
    const std::optional<size_t> index = platform_.Find(id);
    if (!index) {
      return platform_.Failures().policyAcceptsAnyEndpoint ? S_OK
                                                           : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    const HRESULT status = platform_.Endpoint(*index).visibilityStatus;
    if (FAILED(status)) {
      return status;
    }
    // Shown is active; hidden is disabled, as the Sound control panel shows it.
    platform_.SetState(*index, visible ? DEVICE_STATE_ACTIVE : DEVICE_STATE_DISABLED);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
};

class SimulatedClassFactory : public ComObject<IClassFactory> {
 public:
  SimulatedClassFactory(SimulatedPlatform& platform, SimulatedClass made)
      : ComObject(platform, L"factory"), made_(made) {}
  bool HandedToTool() const override { return false; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    if (made_ == SimulatedClass::kEnumerator) {
      platform_.Record(L"CoCreateInstance MMDeviceEnumerator");
      const HRESULT status = platform_.Failures().enumeratorStatus;
      return HandsOutNothing(status) ? status
                                     : Hand(platform_.Make<SimulatedEnumerator>(), iid, out);
    }
    platform_.Record(L"CoCreateInstance PolicyConfig");
    if (platform_.currentEndpoint) {
      const SimulatedEndpoint& endpoint = platform_.Endpoint(*platform_.currentEndpoint);
      if (FAILED(endpoint.policyStatus)) {
        return endpoint.policyStatus;
      }
      if (endpoint.policyWithoutObject) {
        return S_OK;
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

// Watches the COM task allocator so that every string a fake hands out can be
// seen coming back through CoTaskMemFree (directly, or by PropVariantClear).
class TaskMemorySpy : public IMallocSpy {
 public:
  static TaskMemorySpy& Instance() {
    static TaskMemorySpy spy;
    return spy;
  }
  bool Registered() const { return registered_; }
  SimulatedPlatform* watcher = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IMallocSpy))) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives for the whole test process, so its count is never used.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override {
    if (watcher != nullptr && block != nullptr) {
      watcher->NoteTaskMemoryReused(block);
    }
    return block;
  }
  void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
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
  void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
  void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  TaskMemorySpy() { registered_ = SUCCEEDED(CoRegisterMallocSpy(this)); }
  bool registered_ = false;
};

}  // namespace

SimulatedPlatform::SimulatedPlatform(std::vector<SimulatedEndpoint> endpoints,
                                     PlatformFailures failures)
    : endpoints_(std::move(endpoints)), failures_(failures) {
  for (size_t index = 0; index < endpoints_.size(); ++index) {
    if (endpoints_[index].id.empty()) {
      endpoints_[index].id = IdOf(index);
    }
    indexById_.emplace(endpoints_[index].id, index);
  }
  TaskMemorySpy& spy = TaskMemorySpy::Instance();
  if (spy.Registered()) {
    spy.watcher = this;
  }
}

SimulatedPlatform::~SimulatedPlatform() {
  TaskMemorySpy& spy = TaskMemorySpy::Instance();
  if (spy.watcher == this) {
    spy.watcher = nullptr;
  }
}

bool SimulatedPlatform::TaskMemoryWatched() const {
  return TaskMemorySpy::Instance().watcher == this;
}

IClassFactory* SimulatedPlatform::NewClassFactory(SimulatedClass made) {
  return Make<SimulatedClassFactory>(made);
}

std::wstring SimulatedPlatform::IdOf(size_t endpointIndex) {
  return L"{0.0.0.00000000}.{ep" + std::to_wstring(endpointIndex) + L"}";
}

std::optional<size_t> SimulatedPlatform::Find(const std::wstring& id) const {
  const auto found = indexById_.find(id);
  if (found == indexById_.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::vector<size_t> SimulatedPlatform::Select(EDataFlow flow, DWORD stateMask) const {
  std::vector<size_t> members;
  for (size_t index = 0; index < endpoints_.size(); ++index) {
    const SimulatedEndpoint& endpoint = endpoints_[index];
    if ((endpoint.flow == flow || flow == eAll) && (endpoint.state & stateMask) != 0) {
      members.push_back(index);
    }
  }
  return members;
}

void SimulatedPlatform::SetState(size_t index, DWORD state) {
  if (endpoints_[index].state != state) {
    endpoints_[index].state = state;
    statesChanged_ = true;
  }
}

int SimulatedPlatform::LiveObjects() const {
  int live = 0;
  for (const auto& object : objects_) {
    live += object->HandedToTool() && object->Live() ? 1 : 0;
  }
  return live;
}

int SimulatedPlatform::OverReleases() const {
  int count = 0;
  for (const auto& object : objects_) {
    count += object->overReleases;
  }
  return count;
}

wchar_t* SimulatedPlatform::AllocateTaskString(const std::wstring& text, std::wstring label) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* block = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (block == nullptr) {
    return nullptr;
  }
  std::memcpy(block, text.c_str(), bytes);
  outstandingTaskMemory_[block] = std::move(label);
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

void SimulatedPlatform::NoteTaskMemoryReused(void* block) { freedTaskMemory_.erase(block); }

std::vector<std::wstring> SimulatedPlatform::UnfreedTaskMemory() const {
  std::vector<std::wstring> labels;
  for (const auto& entry : outstandingTaskMemory_) {
    labels.push_back(entry.second);
  }
  return labels;
}

std::vector<std::wstring> SimulatedPlatform::Ledger() const {
  std::vector<std::wstring> lines;
  for (const auto& object : objects_) {
    if (object->HandedToTool() && object->Live()) {
      lines.push_back(L"never released: " + object->Label());
    }
    if (object->overReleases > 0) {
      lines.push_back(L"released too often: " + object->Label());
    }
  }
  for (const std::wstring& label : UnfreedTaskMemory()) {
    lines.push_back(L"never freed: " + label);
  }
  if (doubleFrees_ > 0) {
    lines.push_back(L"task memory freed twice: " + std::to_wstring(doubleFrees_));
  }
  return lines;
}
