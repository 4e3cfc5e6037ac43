// The real Quorvane.exe against a platform we did not write: Wine's own device
// enumerator, finding the null sinks of a private PulseAudio daemon. Only the
// policy class is ours; it shows or hides whatever identifier it is given, and
// its journal says which. Names are read here with the SDK's own property key.

#include <string>
#include <vector>

#include <windows.h>
#include <mmdeviceapi.h>
#include <propidl.h>

#include <initguid.h>

#include <functiondiscoverykeys_devpkey.h>

#include <wrl/client.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

using Microsoft::WRL::ComPtr;

// The identifier Wine's own enumerator gives the playback endpoint called `name`.
std::string WineEndpointId(const std::wstring& name) {
  std::string found;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> endpoints;
    UINT count = 0;
    if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                   IID_PPV_ARGS(&enumerator))) &&
        SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &endpoints))) {
      endpoints->GetCount(&count);
    }
    for (UINT index = 0; index < count; ++index) {
      ComPtr<IMMDevice> device;
      ComPtr<IPropertyStore> properties;
      LPWSTR id = nullptr;
      PROPVARIANT value;
      PropVariantInit(&value);
      if (SUCCEEDED(endpoints->Item(index, &device)) && SUCCEEDED(device->GetId(&id)) &&
          SUCCEEDED(device->OpenPropertyStore(STGM_READ, &properties)) &&
          SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) &&
          value.vt == VT_LPWSTR && name == value.pwszVal) {
        found = std::string(id, id + wcslen(id));
      }
      PropVariantClear(&value);
      CoTaskMemFree(id);
    }
  }
  CoUninitialize();
  return found;
}

TEST(PulseAudio, HidesExactlyTheEndpointsWhoseFullNameMatches) {
  const std::string foreign = WineEndpointId(L"Haut-parleurs (R\u00E9altek) \u626C\u58F0\u5668");
  ASSERT_FALSE(foreign.empty()) << "Wine's enumerator does not see the PulseAudio sinks";
  SimulatedMachineFiles files("policy any-endpoint\n");
  const Outcome outcome = files.Run(L"disable render \u58F0\u5668");
  EXPECT_EQ(
      "Playback: Haut-parleurs (R\xE9"
      "altek) ??? -> DISABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  EXPECT_EQ((std::vector<std::string>{"CoCreateInstance PolicyConfig",
                                      "SetEndpointVisibility " + foreign + " 0", "release policy"}),
            outcome.journal);
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

}  // namespace
