// What a Windows user downloads, as built and as signed: a 64-bit console
// program that imports only Windows system DLLs, carries a manifest asking for
// the invoker's rights, and says its version.

#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

class ExecutableImage : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  // Mapped as an image, so that addresses in its headers can be followed, but
  // never run and with no DLL of its own loaded.
  void SetUp() override {
    image_ = LoadLibraryExW(path_.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, image_);
    nt_ = At<IMAGE_NT_HEADERS64>(static_cast<DWORD>(At<IMAGE_DOS_HEADER>(0)->e_lfanew));
  }
  void TearDown() override { FreeLibrary(image_); }
  template <typename T>
  const T* At(DWORD rva) const {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(image_) + rva);
  }
  const std::wstring path_ = BuildFolder() + GetParam();
  HMODULE image_ = nullptr;
  const IMAGE_NT_HEADERS64* nt_ = nullptr;
};

TEST_P(ExecutableImage, IsA64BitConsoleProgramImportingOnlySystemDlls) {
  EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, nt_->OptionalHeader.Magic);
  EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, nt_->FileHeader.Machine);
  EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_CUI, nt_->OptionalHeader.Subsystem);
  std::set<std::string> imported;
  const DWORD imports =
      nt_->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (const auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(imports); entry->Name != 0; ++entry) {
    imported.insert(At<char>(entry->Name));
  }
  EXPECT_EQ((std::set<std::string>{"KERNEL32.dll", "msvcrt.dll", "ole32.dll"}), imported);
}

TEST_P(ExecutableImage, AsksForTheInvokersRightsAndNoUiAccess) {
  HRSRC found = FindResourceW(image_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(nullptr, found) << "no application manifest resource";
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image_, found))),
                             SizeofResource(image_, found));
  EXPECT_NE(std::string::npos,
            manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
}

TEST_P(ExecutableImage, CarriesTheVersionOfTheBuild) {
  std::vector<char> block(GetFileVersionInfoSizeW(path_.c_str(), nullptr));
  ASSERT_TRUE(
      GetFileVersionInfoW(path_.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), &value, &length)) << name;
    EXPECT_EQ(QUORVANE_VERSION, std::wstring(static_cast<const wchar_t*>(value)));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ExecutableImage,
                         ::testing::Values(L"Quorvane.exe", kSignedExecutable),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                           return info.index == 0 ? "Built" : "Signed";
                         });

}  // namespace
