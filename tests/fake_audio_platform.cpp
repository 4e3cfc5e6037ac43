#include "tests/fake_audio_platform.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include "endpoints/audio_platform.h"

FakeAudioPlatform::FakeAudioPlatform(std::vector<SimulatedEndpoint> endpoints,
                                     PlatformFailures failures)
    : SimulatedPlatform(std::move(endpoints), failures) {
  EXPECT_TRUE(TaskMemoryWatched()) << "the COM task-memory spy could not be registered";
  // COM holds the factories while they are registered; the registrations are
  // their only references.
  IClassFactory* enumeratorFactory = NewClassFactory(SimulatedClass::kEnumerator);
  IClassFactory* policyFactory = NewClassFactory(SimulatedClass::kPolicyConfig);
  EXPECT_EQ(S_OK,
            CoRegisterClassObject(kMMDeviceEnumeratorClassId, enumeratorFactory,
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &enumeratorCookie_));
  EXPECT_EQ(S_OK, CoRegisterClassObject(kPolicyConfigClassId, policyFactory, CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &policyCookie_));
  enumeratorFactory->Release();
  policyFactory->Release();
}

FakeAudioPlatform::~FakeAudioPlatform() {
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
  if (savedStdout_ < 0) {
    return {};
  }
  (void)std::fflush(stdout);
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
    (void)std::fclose(file);
  }
  DeleteFileW(path_.c_str());
  return bytes;
}

StdoutCapture::~StdoutCapture() { Finish(); }
