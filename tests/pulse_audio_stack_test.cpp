// The real Quorvane.exe against a platform we did not write: Wine's own device
// enumerator, finding the null sinks of a private PulseAudio daemon (and their
// monitors as recording endpoints). Only the policy class is ours, where the
// prefix registers it; Wine ships none.

#include <string>
#include <vector>

#include <windows.h>
#include <mmdeviceapi.h>
#include <objbase.h>
#include <propsys.h>
#include <propvarutil.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include "endpoints/audio_platform.h"
#include "tests/quorvane_process.h"

namespace {

using Microsoft::WRL::ComPtr;

const wchar_t kCable[] = L"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)";

// The identifier Wine's own enumerator gives the endpoint of `flow` called `name`.
std::string WineEndpointId(EDataFlow flow, const std::wstring& name) {
  std::string found;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> endpoints;
    UINT count = 0;
    if (SUCCEEDED(CoCreateInstance(kMMDeviceEnumeratorClassId, nullptr, CLSCTX_ALL,
                                   kDeviceEnumeratorInterfaceId, &enumerator)) &&
        SUCCEEDED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &endpoints))) {
      endpoints->GetCount(&count);
    }
    for (UINT index = 0; index < count && found.empty(); ++index) {
      ComPtr<IMMDevice> device;
      ComPtr<IPropertyStore> properties;
      LPWSTR id = nullptr;
      PROPVARIANT value;
      PropVariantInit(&value);
      if (SUCCEEDED(endpoints->Item(index, &device)) && SUCCEEDED(device->GetId(&id)) &&
          SUCCEEDED(device->OpenPropertyStore(STGM_READ, &properties)) &&
          SUCCEEDED(properties->GetValue(kFriendlyNameKey, &value)) && value.vt == VT_LPWSTR &&
          name == value.pwszVal) {
        found = std::string(id, id + wcslen(id));
      }
      PropVariantClear(&value);
      CoTaskMemFree(id);
    }
  }
  CoUninitialize();
  return found;
}

// Our policy class shows or hides whatever identifier Wine's enumerator gave.
const char kPolicyBesideWine[] = "policy any-endpoint\n";

TEST(PulseAudioWithPolicy, DisablesExactlyTheMatchingPlaybackEndpoint) {
  const std::string cable = WineEndpointId(eRender, kCable);
  ASSERT_FALSE(cable.empty()) << "Wine's enumerator does not see the PulseAudio sinks";
  SimulatedMachineFiles files(kPolicyBesideWine);
  const Outcome outcome = files.Run(L"disable render \"Virtual\"");
  EXPECT_EQ("Playback: Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> DISABLED\r\n",
            outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(std::vector<std::string>{"SetEndpointVisibility " + cable + " 0"},
            Starting(outcome.journal, "SetEndpointVisibility"));
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

TEST(PulseAudioWithPolicy, RecordingListsTheMonitors) {
  const std::string monitor = WineEndpointId(eCapture, std::wstring(L"Monitor of ") + kCable);
  ASSERT_FALSE(monitor.empty());
  SimulatedMachineFiles files(kPolicyBesideWine);
  const Outcome outcome = files.Run(L"enable capture Virtual");
  EXPECT_EQ(
      "Recording: Monitor of Cable Input - Virtual Speakers (VB-Audio Virtual Cable) -> "
      "ENABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ(std::vector<std::string>{"SetEndpointVisibility " + monitor + " 1"},
            Starting(outcome.journal, "SetEndpointVisibility"));
}

TEST(PulseAudioWithPolicy, MatchesTheFullNameAndPrintsWhatTheConsoleCanShow) {
  SimulatedMachineFiles files(kPolicyBesideWine);
  const Outcome outcome = files.Run(L"disable render \u626C\u58F0\u5668");
  EXPECT_EQ(
      "Playback: Haut-parleurs (R\xE9"
      "altek) ??? -> DISABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
}

// As Wine ships: no policy class, so every match fails and nothing changes.
TEST(PulseAudioWithoutPolicy, EveryMatchFailsThenTheNoMatchLine) {
  const ProcessResult result =
      RunProgram(BuildFolder() + L"Quorvane.exe", L"disable render Speakers");
  EXPECT_EQ(
      "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
      "PolicyConfig CoCreateInstance failed (hr=0x80040154)\r\n"
      "No endpoints matched substring \"Speakers\" in Playback list.\r\n",
      result.output);
  EXPECT_EQ(2u, result.exitCode);
}

}  // namespace
