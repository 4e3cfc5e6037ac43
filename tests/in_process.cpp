#include "tests/in_process.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include "simulator/whole_file.h"

ClassRegistration::ClassRegistration(SimulatedPlatform& platform) {
  // COM holds the factories while they are registered; the registrations are
  // their only references.
  IClassFactory* enumerator = platform.NewClassFactory(SimulatedClass::kEnumerator);
  IClassFactory* policy = platform.NewClassFactory(SimulatedClass::kPolicyConfig);
  EXPECT_EQ(S_OK,
            CoRegisterClassObject(__uuidof(MMDeviceEnumerator), enumerator, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &enumeratorCookie_));
  EXPECT_EQ(S_OK, CoRegisterClassObject(kSimulatedPolicyConfigClass, policy, CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &policyCookie_));
  enumerator->Release();
  policy->Release();
}

ClassRegistration::~ClassRegistration() {
  CoRevokeClassObject(enumeratorCookie_);
  CoRevokeClassObject(policyCookie_);
}

StdoutCapture::StdoutCapture() {
  wchar_t folder[MAX_PATH];
  wchar_t file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"qvo", 0, file);
  path_ = file;
  (void)std::fflush(stdout);
  // Text mode, as the runtime gives a program its standard output.
  const int captured = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_TEXT);
  savedStdout_ = _dup(_fileno(stdout));
  _dup2(captured, _fileno(stdout));
  _close(captured);
}

std::string StdoutCapture::Finish() {
  (void)std::fflush(stdout);
  _dup2(savedStdout_, _fileno(stdout));
  _close(savedStdout_);
  std::string bytes = ReadWholeFile(path_).value_or("");
  DeleteFileW(path_.c_str());
  return bytes;
}
