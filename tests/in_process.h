#pragma once

// What the in-process tests stand on: the simulated audio stack registered with
// COM for this process, standard output captured as bytes, and COM on the
// test's thread.

#include <string>

#include <windows.h>
#include <objbase.h>

#include "simulator/simulated_platform.h"

// The platform's two classes, registered for this process under the identities
// Windows uses while it lives, so the tool's own CoCreateInstance calls reach
// them and never the machine's devices.
class ClassRegistration {
 public:
  explicit ClassRegistration(SimulatedPlatform& platform);
  ~ClassRegistration();

 private:
  DWORD enumeratorCookie_ = 0;
  DWORD policyCookie_ = 0;
};

// Every byte written to standard output until Finish, exactly as the C
// runtime's text-mode stream writes it.
class StdoutCapture {
 public:
  StdoutCapture();
  std::string Finish();

 private:
  std::wstring path_;
  int savedStdout_ = -1;
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
  HRESULT Status() const { return status_; }

 private:
  HRESULT status_;
};
