// The simulated stack as a COM server for our own Wine prefixes, serving the
// machine file QUORVANE_SIMULATOR_MACHINE names, and nothing from one it cannot
// read whole. At exit it saves the states to that file, the call log to
// QUORVANE_SIMULATOR_CALL_LOG and its problems (what was not given back, a bad
// file, an unsaved change) to QUORVANE_SIMULATOR_PROBLEMS, each when set.

#include <cstdlib>
#include <memory>
#include <string>

#include <windows.h>
#include <objbase.h>

#include "simulator/machine_file.h"
#include "simulator/simulated_platform.h"
#include "simulator/whole_file.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? value : L"";
}

std::string Lines(const std::vector<std::wstring>& lines) {
  std::string text;
  for (const std::wstring& line : lines) {
    text += Utf8FromWide(line);
    text += '\n';
  }
  return text;
}

// One simulated machine per process, loaded when a class is first asked for.
class Simulator {
 public:
  Simulator()
      : machinePath_(Variable(L"QUORVANE_SIMULATOR_MACHINE")),
        callLogPath_(Variable(L"QUORVANE_SIMULATOR_CALL_LOG")),
        problemsPath_(Variable(L"QUORVANE_SIMULATOR_PROBLEMS")) {
    SimulatedMachine machine;
    if (machinePath_.empty()) {
      problems_.push_back(L"QUORVANE_SIMULATOR_MACHINE is not set");
    } else if (std::optional<std::string> text = ReadWholeFile(machinePath_); !text) {
      problems_.push_back(L"cannot read " + machinePath_);
    } else {
      machineText_ = std::move(*text);
      machine = ParseMachineFile(machineText_);
      visibilityAt_ = machine.visibilityAt;
      for (const std::wstring& problem : machine.problems) {
        problems_.push_back(machinePath_ + L": " + problem);
      }
    }
    platform_ = std::make_unique<SimulatedPlatform>(std::move(machine.endpoints));
    platform_->policyAcceptsAnyEndpoint = machine.policyAcceptsAnyEndpoint;
  }

  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) {
    SimulatedClass made;
    if (problems_.empty() && IsEqualCLSID(classId, __uuidof(MMDeviceEnumerator))) {
      made = SimulatedClass::kEnumerator;
    } else if (problems_.empty() && IsEqualCLSID(classId, kSimulatedPolicyConfigClass)) {
      made = SimulatedClass::kPolicyConfig;
    } else {
      *out = nullptr;
      return problems_.empty() ? CLASS_E_CLASSNOTAVAILABLE : E_FAIL;
    }
    IClassFactory* factory = platform_->NewClassFactory(made);
    const HRESULT status = factory->QueryInterface(iid, out);
    factory->Release();
    return status;
  }

  // At process exit: nothing may be released any more, so what is still held
  // now was never given back.
  void Finish() {
    if (platform_->VisibilityChanged() &&
        !WriteWholeFile(machinePath_, WithCurrentVisibility(machineText_, visibilityAt_,
                                                            platform_->Endpoints()))) {
      problems_.push_back(L"the change could not be saved");
    }
    if (!callLogPath_.empty()) {
      WriteWholeFile(callLogPath_, Lines(platform_->CallLog()));
    }
    if (!problemsPath_.empty()) {
      WriteWholeFile(problemsPath_, Lines(problems_) + Lines(platform_->NotGivenBack()));
    }
  }

 private:
  std::wstring machinePath_;
  std::wstring callLogPath_;
  std::wstring problemsPath_;
  std::string machineText_;
  std::vector<size_t> visibilityAt_;
  std::vector<std::wstring> problems_;
  std::unique_ptr<SimulatedPlatform> platform_;
};

Simulator* simulator = nullptr;
HMODULE simulatorModule = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    simulatorModule = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && simulator != nullptr) {
    simulator->Finish();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
  if (simulator == nullptr) {
    // Pinned, so that the problems are written when nothing can be given back any
    // more, and the task-memory spy never outlives its code.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(simulatorModule), &pinned);
    simulator = new Simulator();
  }
  return simulator->GetClassObject(classId, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
