#pragma once

// The simulated audio stack registered in process for the runs of one test,
// and what every run must leave behind.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <objbase.h>

#include <gtest/gtest.h>

#include "simulator/simulated_platform.h"
#include "tests/stdout_capture.h"
#include "tests/under_wine.h"

// The two classes, registered in process under Windows' identities. Nothing
// runs unless COM is seen to hand out the simulator's own: on Windows a run
// would otherwise show or hide the machine's real endpoints.
class ClassRegistration {
 public:
  explicit ClassRegistration(SimulatedPlatform& platform) {
    const CLSID ids[] = {__uuidof(MMDeviceEnumerator), kSimulatedPolicyConfigClass};
    const SimulatedClass classes[] = {SimulatedClass::kEnumerator, SimulatedClass::kPolicyConfig};
    for (int index = 0; index < 2; ++index) {
      IClassFactory* factory = platform.NewClassFactory(classes[index]);
      const HRESULT registered = CoRegisterClassObject(ids[index], factory, CLSCTX_INPROC_SERVER,
                                                       REGCLS_MULTIPLEUSE, &cookies_[index]);
      factory->Release();
      if (FAILED(registered) || !ServesTheSimulator(ids[index])) {
        wchar_t name[40] = {};
        StringFromGUID2(ids[index], name, 40);
        (void)std::fprintf(stderr,
                           "COM does not hand out the simulator's class %ls (registration "
                           "hr=0x%08lX); stopping before a test reaches the machine's own "
                           "devices.\n",
                           name, static_cast<unsigned long>(registered));
        std::exit(3);
      }
    }
  }
  ~ClassRegistration() {
    for (DWORD cookie : cookies_) {
      CoRevokeClassObject(cookie);
    }
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

 private:
  // Asks the class object COM would use for the class; only the simulator's
  // answers for the simulator's own interface. No instance is made.
  static bool ServesTheSimulator(const CLSID& id) {
    IClassFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(id, CLSCTX_ALL, nullptr, IID_PPV_ARGS(&factory)))) {
      return false;
    }
    IUnknown* mark = nullptr;
    const bool simulated = SUCCEEDED(
        factory->QueryInterface(kSimulatorOnlyInterface, reinterpret_cast<void**>(&mark)));
    if (mark != nullptr) {
      mark->Release();
    }
    factory->Release();
    return simulated;
  }
  DWORD cookies_[2] = {};
};

class TestApartment {
 public:
  explicit TestApartment(DWORD mode = COINIT_APARTMENTTHREADED)
      : status_(CoInitializeEx(nullptr, mode)) {}
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

// What a call log says: each visibility call ("{ep1} 0, {ep2} 0"), and the
// first thing given back that was not the last taken (a run must give back the
// last taken first).
struct CallLogReading {
  std::wstring visibilityCalls;
  std::wstring firstOutOfOrder;
};

inline CallLogReading ReadCallLog(const std::vector<std::wstring>& callLog) {
  std::wstring calls;
  std::wstring disorder;
  std::vector<std::wstring> held;
  for (const std::wstring& entry : callLog) {
    const size_t space = entry.find(L' ');
    const std::wstring verb = entry.substr(0, space);
    const std::wstring what = entry.substr(space + 1);
    if (verb == L"SetEndpointVisibility") {
      calls += (calls.empty() ? L"" : L", ") + what;
    } else if (verb == L"hand") {
      held.push_back(what.substr(4));  // after "out "
    } else if (!held.empty() && held.back() == what) {
      held.pop_back();
    } else if (disorder.empty()) {
      disorder = entry;
    }
  }
  return {calls, disorder};
}

// What a run printed, the visibility calls it made and everything the simulator saw.
struct SimulatedRun {
  std::string output;
  std::wstring visibilityCalls;
  std::vector<std::wstring> callLog;
};

// Runs `run` against a simulated machine, in a test apartment of the given mode
// entered first, and checks what every run must leave behind: everything given
// back exactly once, the last taken first, and COM on the thread as it was.
template <typename Run>
SimulatedRun RunSimulated(std::vector<SimulatedEndpoint> endpoints, PlatformFailures failures,
                          DWORD apartment, Run run) {
  SimulatedRun result;
  {
    TestApartment testApartment(apartment);
    SimulatedPlatform platform(std::move(endpoints), failures);
    ClassRegistration registration(platform);
    StdoutCapture capture;
    run();
    result.output = capture.Finish();
    EXPECT_EQ(std::vector<std::wstring>{}, platform.NotGivenBack())
        << "not given back exactly once";
    const CallLogReading reading = ReadCallLog(platform.CallLog());
    result.visibilityCalls = reading.visibilityCalls;
    EXPECT_EQ(L"", reading.firstOutOfOrder) << "given back before what was taken after it";
    result.callLog = platform.CallLog();
    // The run gave back only its own initialisation: the test's is still there.
    EXPECT_EQ(S_FALSE, TestApartment(apartment).Status());
  }
  EXPECT_EQ(S_OK, TestApartment(COINIT_MULTITHREADED).Status()) << "COM left initialised";
  return result;
}
