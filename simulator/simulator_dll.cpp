// The simulated audio stack as a COM in-process server, for a Wine prefix of
// our own: it serves the device enumerator and the policy-configuration class
// to whichever program creates them, from the machine file that the variable
// QUORVANE_SIMULATOR_MACHINE names. A machine file that cannot be read whole is
// not served at all, so that no endpoint quietly goes missing. When the process
// ends it writes the states back to that file, the journal of calls to
// QUORVANE_SIMULATOR_JOURNAL and the ledger to QUORVANE_SIMULATOR_LEDGER (each
// only when set): what was never given back, what the machine file got wrong,
// and a change that could not be saved.

#include <memory>
#include <string>

#include <windows.h>
#include <objbase.h>

#include "simulator/machine_file.h"
#include "simulator/simulated_platform.h"
#include "simulator/whole_file.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2];
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length) : std::wstring();
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
        journalPath_(Variable(L"QUORVANE_SIMULATOR_JOURNAL")),
        ledgerPath_(Variable(L"QUORVANE_SIMULATOR_LEDGER")) {
    SimulatedMachine machine;
    if (machinePath_.empty()) {
      problems_.push_back(L"QUORVANE_SIMULATOR_MACHINE is not set");
    } else if (std::optional<std::string> text = ReadWholeFile(machinePath_); !text) {
      problems_.push_back(L"cannot read " + machinePath_);
    } else {
      machineText_ = std::move(*text);
      machine = ParseMachineFile(machineText_);
      for (const std::wstring& problem : machine.problems) {
        problems_.push_back(machinePath_ + L": " + problem);
      }
    }
    platform_ = std::make_unique<SimulatedPlatform>(std::move(machine.endpoints), machine.failures);
  }

  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (!problems_.empty()) {
      *out = nullptr;
      return E_FAIL;
    }
    SimulatedClass made;
    if (IsEqualCLSID(classId, __uuidof(MMDeviceEnumerator))) {
      made = SimulatedClass::kEnumerator;
    } else if (IsEqualCLSID(classId, kSimulatedPolicyConfigClass)) {
      made = SimulatedClass::kPolicyConfig;
    } else {
      *out = nullptr;
      return CLASS_E_CLASSNOTAVAILABLE;
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
        !WriteWholeFile(machinePath_,
                        WithCurrentVisibility(machineText_, platform_->Endpoints()))) {
      problems_.push_back(L"the change could not be saved");
    }
    if (!journalPath_.empty()) {
      WriteWholeFile(journalPath_, Lines(platform_->Journal()));
    }
    if (!ledgerPath_.empty()) {
      std::vector<std::wstring> ledger = problems_;
      for (const std::wstring& line : platform_->Ledger()) {
        ledger.push_back(line);
      }
      WriteWholeFile(ledgerPath_, Lines(ledger));
    }
  }

 private:
  std::wstring machinePath_;
  std::wstring journalPath_;
  std::wstring ledgerPath_;
  std::string machineText_;
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
    // Stays loaded until the process ends, so that the ledger is written only
    // when nothing can be given back any more (and the task-memory spy it
    // registers never outlives its code).
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(simulatorModule), &pinned);
    simulator = new Simulator();
  }
  return simulator->GetClassObject(classId, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
