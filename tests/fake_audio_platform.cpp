#include "tests/fake_audio_platform.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <objbase.h>
#include <propidl.h>
#include <propsys.h>

#include <gtest/gtest.h>

#include "endpoints/audio_platform.h"

namespace {

std::wstring Hex(DWORD value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%lX", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

// Reference counts start at 1 for the creator. An object is never deleted when
// its count reaches zero, only marked as given back, so a further Release is
// caught as an over-release instead of touching freed memory.
class FakeObjectBase {
 public:
  FakeObjectBase(FakeAudioPlatform& platform, std::wstring label)
      : platform_(platform), label_(std::move(label)) {}
  virtual ~FakeObjectBase() = default;
  bool Live() const { return references_ > 0; }
  // Class factories belong to COM's registration, not to the run being checked.
  virtual bool HandedToTool() const { return true; }
  int overReleases = 0;

 protected:
  ULONG AddReference() { return ++references_; }
  ULONG ReleaseReference() {
    if (references_ == 0) {
      ++overReleases;
      ADD_FAILURE() << "over-release of a fake " << std::string(label_.begin(), label_.end());
      return 0;
    }
    if (--references_ == 0) {
      platform_.Record(L"release " + label_);
    }
    return references_;
  }
  FakeAudioPlatform& platform_;

 private:
  std::wstring label_;
  ULONG references_ = 1;
};

namespace {

// IUnknown for a fake that answers one interface besides IUnknown; every other
// method nobody is meant to call answers E_NOTIMPL.
template <typename Interface>
class FakeObject : public FakeObjectBase, public Interface {
 public:
  FakeObject(FakeAudioPlatform& platform, std::wstring label,
             const IID& iid = __uuidof(Interface))
      : FakeObjectBase(platform, std::move(label)), iid_(iid) {}
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

class FakePropertyStore : public FakeObject<IPropertyStore> {
 public:
  FakePropertyStore(FakeAudioPlatform& platform, size_t endpoint)
      : FakeObject(platform, L"store " + FakeAudioPlatform::IdOf(endpoint)),
        endpoint_(endpoint) {}
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
    const std::wstring id = FakeAudioPlatform::IdOf(endpoint_);
    const bool friendlyName =
        IsEqualGUID(key.fmtid, kFriendlyNameKey.fmtid) && key.pid == kFriendlyNameKey.pid;
    platform_.Record(L"GetValue " + id + (friendlyName ? L" FriendlyName" : L" other key"));
    const FakeEndpoint& endpoint = platform_.Endpoint(endpoint_);
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

class FakeDevice : public FakeObject<IMMDevice> {
 public:
  FakeDevice(FakeAudioPlatform& platform, size_t endpoint)
      : FakeObject(platform, L"device " + FakeAudioPlatform::IdOf(endpoint)),
        endpoint_(endpoint) {}
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override {
    const std::wstring name = FakeAudioPlatform::IdOf(endpoint_);
    platform_.Record(L"GetId " + name);
    const FakeEndpoint& endpoint = platform_.Endpoint(endpoint_);
    if (!endpoint.idLeftNull) {
      *id = platform_.AllocateTaskString(name, L"id " + name);
    }
    return endpoint.idStatus;
  }
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override {
    platform_.Record(L"OpenPropertyStore " + FakeAudioPlatform::IdOf(endpoint_) + L" mode=" +
                     Hex(access));
    const HRESULT status = platform_.Endpoint(endpoint_).openStatus;
    if (FAILED(status)) {
      *store = nullptr;
      return status;
    }
    *store = platform_.Make<FakePropertyStore>(endpoint_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

 private:
  size_t endpoint_;
};

class FakeCollection : public FakeObject<IMMDeviceCollection> {
 public:
  FakeCollection(FakeAudioPlatform& platform, std::vector<size_t> members)
      : FakeObject(platform, L"collection"), members_(std::move(members)) {}
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
    if (FAILED(status)) {
      return status;
    }
    *device = platform_.Make<FakeDevice>(endpoint);
    return S_OK;
  }

 private:
  std::vector<size_t> members_;
};

class FakeEnumerator : public FakeObject<IMMDeviceEnumerator> {
 public:
  explicit FakeEnumerator(FakeAudioPlatform& platform)
      : FakeObject(platform, L"enumerator") {}
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD stateMask,
                                               IMMDeviceCollection** collection) override {
    platform_.Record(L"EnumAudioEndpoints flow=" + std::to_wstring(flow) + L" mask=" +
                     Hex(stateMask));
    *collection = nullptr;
    const HRESULT status = platform_.Failures().enumerateStatus;
    if (FAILED(status)) {
      return status;
    }
    *collection = platform_.Make<FakeCollection>(platform_.Select(flow, stateMask));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(
      IMMNotificationClient*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(
      IMMNotificationClient*) override {
    return E_NOTIMPL;
  }
};

class FakePolicyConfig : public FakeObject<IPolicyConfig> {
 public:
  explicit FakePolicyConfig(FakeAudioPlatform& platform)
      : FakeObject(platform, L"policy", kPolicyConfigInterfaceId) {}
  HRESULT STDMETHODCALLTYPE SetEndpointVisibility(LPCWSTR endpointId, INT visible) override {
    const std::wstring id = endpointId == nullptr ? L"(null)" : endpointId;
    platform_.Record(L"SetEndpointVisibility " + id + L" " + std::to_wstring(visible));
    for (size_t index = 0; index < platform_.Endpoints().size(); ++index) {
      if (FakeAudioPlatform::IdOf(index) != id) {
        continue;
      }
      FakeEndpoint& endpoint = platform_.Endpoint(index);
      if (FAILED(endpoint.visibilityStatus)) {
        return endpoint.visibilityStatus;
      }
      endpoint.state = visible ? DEVICE_STATE_ACTIVE : DEVICE_STATE_DISABLED;
      return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
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

enum class FakeClass { kEnumerator, kPolicy };

class FakeClassFactory : public FakeObject<IClassFactory> {
 public:
  FakeClassFactory(FakeAudioPlatform& platform, FakeClass made)
      : FakeObject(platform, L"factory"), made_(made) {}
  bool HandedToTool() const override { return false; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    if (made_ == FakeClass::kEnumerator) {
      platform_.Record(L"CoCreateInstance MMDeviceEnumerator");
      const HRESULT status = platform_.Failures().enumeratorStatus;
      return FAILED(status) ? status : Hand(platform_.Make<FakeEnumerator>(), iid, out);
    }
    platform_.Record(L"CoCreateInstance PolicyConfig");
    if (platform_.currentEndpoint) {
      const FakeEndpoint& endpoint = platform_.Endpoint(*platform_.currentEndpoint);
      if (FAILED(endpoint.policyStatus)) {
        return endpoint.policyStatus;
      }
      if (endpoint.policyWithoutObject) {
        return S_OK;
      }
    }
    return Hand(platform_.Make<FakePolicyConfig>(), iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  // Hands over the interface asked for and drops the creator's reference.
  static HRESULT Hand(IUnknown* object, REFIID iid, void** out) {
    const HRESULT status = object->QueryInterface(iid, out);
    object->Release();
    return status;
  }
  FakeClass made_;
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
  FakeAudioPlatform* watcher = nullptr;

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

FakeAudioPlatform::FakeAudioPlatform(std::vector<FakeEndpoint> endpoints,
                                     PlatformFailures failures)
    : endpoints_(std::move(endpoints)), failures_(failures) {
  TaskMemorySpy& spy = TaskMemorySpy::Instance();
  EXPECT_TRUE(spy.Registered()) << "the COM task-memory spy could not be registered";
  spy.watcher = this;
  // The factories are held by COM while registered; their own references go
  // when the registrations are revoked, so they too must end up given back.
  auto* enumeratorFactory = Make<FakeClassFactory>(FakeClass::kEnumerator);
  auto* policyFactory = Make<FakeClassFactory>(FakeClass::kPolicy);
  EXPECT_EQ(S_OK, CoRegisterClassObject(kMMDeviceEnumeratorClassId, enumeratorFactory,
                                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                        &enumeratorCookie_));
  EXPECT_EQ(S_OK, CoRegisterClassObject(kPolicyConfigClassId, policyFactory,
                                        CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &policyCookie_));
  enumeratorFactory->Release();
  policyFactory->Release();
}

FakeAudioPlatform::~FakeAudioPlatform() {
  CoRevokeClassObject(enumeratorCookie_);
  CoRevokeClassObject(policyCookie_);
  TaskMemorySpy::Instance().watcher = nullptr;
}

std::wstring FakeAudioPlatform::IdOf(size_t endpointIndex) {
  return L"{0.0.0.00000000}.{ep" + std::to_wstring(endpointIndex) + L"}";
}

std::vector<size_t> FakeAudioPlatform::Select(EDataFlow flow, DWORD stateMask) const {
  std::vector<size_t> members;
  for (size_t index = 0; index < endpoints_.size(); ++index) {
    const FakeEndpoint& endpoint = endpoints_[index];
    if ((endpoint.flow == flow || flow == eAll) && (endpoint.state & stateMask) != 0) {
      members.push_back(index);
    }
  }
  return members;
}

int FakeAudioPlatform::LiveObjects() const {
  int live = 0;
  for (const auto& object : objects_) {
    live += object->HandedToTool() && object->Live() ? 1 : 0;
  }
  return live;
}

int FakeAudioPlatform::OverReleases() const {
  int count = 0;
  for (const auto& object : objects_) {
    count += object->overReleases;
  }
  return count;
}

wchar_t* FakeAudioPlatform::AllocateTaskString(const std::wstring& text, std::wstring label) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* block = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  std::memcpy(block, text.c_str(), bytes);
  outstandingTaskMemory_[block] = label;
  return block;
}

void FakeAudioPlatform::NoteTaskMemoryFreed(void* block) {
  if (auto found = outstandingTaskMemory_.find(block); found != outstandingTaskMemory_.end()) {
    Record(L"free " + found->second);
    freedTaskMemory_[block] = found->second;
    outstandingTaskMemory_.erase(found);
  } else if (freedTaskMemory_.count(block) != 0) {
    ++doubleFrees_;
  }
}

void FakeAudioPlatform::NoteTaskMemoryReused(void* block) { freedTaskMemory_.erase(block); }

std::vector<std::wstring> FakeAudioPlatform::UnfreedTaskMemory() const {
  std::vector<std::wstring> labels;
  for (const auto& entry : outstandingTaskMemory_) {
    labels.push_back(entry.second);
  }
  return labels;
}

StdoutCapture::StdoutCapture() {
  wchar_t folder[MAX_PATH];
  wchar_t file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"qvo", 0, file);
  path_ = file;
  std::fflush(stdout);
  // Text mode, as the runtime gives a program its standard output.
  const int captured = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_TEXT);
  savedStdout_ = _dup(_fileno(stdout));
  _dup2(captured, _fileno(stdout));
  _close(captured);
}

std::string StdoutCapture::Finish() {
  if (savedStdout_ < 0) {
    return {};
  }
  std::fflush(stdout);
  _dup2(savedStdout_, _fileno(stdout));
  _close(savedStdout_);
  savedStdout_ = -1;
  std::string bytes;
  if (FILE* file = _wfopen(path_.c_str(), L"rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.append(buffer, got);
    }
    std::fclose(file);
  }
  DeleteFileW(path_.c_str());
  return bytes;
}

StdoutCapture::~StdoutCapture() { Finish(); }
