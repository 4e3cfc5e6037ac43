#pragma once

// What the in-process tests stand on: the simulated audio stack registered with
// COM for this process, standard output captured as bytes, and COM on the
// test's thread.

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "simulator/simulated_platform.h"

// Registered under the real class identities for as long as it lives, so the
// tool's own CoCreateInstance calls reach it and never the machine's devices.
class FakeAudioPlatform : public SimulatedPlatform {
 public:
  explicit FakeAudioPlatform(std::vector<SimulatedEndpoint> endpoints = {},
                             PlatformFailures failures = {});
  ~FakeAudioPlatform();

 private:
  DWORD enumeratorCookie_ = 0;
  DWORD policyCookie_ = 0;
};

// Every byte a call writes to standard output, exactly as the C runtime's
// text-mode stream writes it.
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
