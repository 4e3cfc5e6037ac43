#pragma once

// The identities this tool relies on from the Windows audio stack, written out
// here as the tool's own statement of what it asks Windows for. The simulated
// stack takes the enumerator's and the name key's from the SDK headers
// instead, so that a slip here cannot hide behind the same slip there. No
// header names the policy class, so the simulator states its identities again
// on its own, as the test prefixes' registry does.

#include <windows.h>
#include <mmdeviceapi.h>
#include <propsys.h>

// {BCDE0395-E52F-467C-8E3D-C4579291692E}
inline constexpr CLSID kMMDeviceEnumeratorClassId = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
// {A95664D2-9614-4F35-A746-DE8DB63617E6}
inline constexpr IID kDeviceEnumeratorInterfaceId = {
    0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
// {870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}
inline constexpr CLSID kPolicyConfigClassId = {
    0x870AF99C, 0x171D, 0x4F9E, {0xAF, 0x0D, 0xE6, 0x3D, 0xF4, 0x0C, 0x2B, 0xC9}};
// {F8679F50-850A-41CF-9C72-430F290290C8}
inline constexpr IID kPolicyConfigInterfaceId = {
    0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};

// The endpoint's friendly name: {A45C254E-DF1C-4EFD-8020-67D146A850E0}, 14.
inline constexpr PROPERTYKEY kFriendlyNameKey = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

// The audio policy-configuration interface is not published in the SDK. Only
// SetEndpointVisibility, the fifteenth entry of its method table, is ever
// called; the eleven entries before it are placeholders that keep the layout
// and must never be called through this declaration.
struct IPolicyConfig : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
  // visible: 1 shows the endpoint, 0 hides it.
  virtual HRESULT STDMETHODCALLTYPE SetEndpointVisibility(LPCWSTR endpointId, INT visible) = 0;
};
