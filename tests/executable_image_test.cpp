// What a Windows user downloads: a 64-bit console program that imports only
// Windows system DLLs and carries a manifest asking for the invoker's rights.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

class ExecutableImage : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = ReadWholeFile(BuildFolder() + L"Quorvane.exe").value_or("");
    ASSERT_GT(image_.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = At<IMAGE_DOS_HEADER>(0);
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
    nt_ = At<IMAGE_NT_HEADERS64>(static_cast<size_t>(dos->e_lfanew));
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt_->Signature);
  }

  template <typename T>
  const T* At(size_t offset) const {
    return offset + sizeof(T) <= image_.size() ? reinterpret_cast<const T*>(image_.data() + offset)
                                               : nullptr;
  }

  // The file offset of a relative virtual address.
  size_t OffsetOf(DWORD rva) const {
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt_);
    for (WORD index = 0; index < nt_->FileHeader.NumberOfSections; ++index, ++section) {
      if (rva >= section->VirtualAddress &&
          rva < section->VirtualAddress + section->Misc.VirtualSize) {
        return rva - section->VirtualAddress + section->PointerToRawData;
      }
    }
    return image_.size();
  }

  std::string image_;
  const IMAGE_NT_HEADERS64* nt_ = nullptr;
};

TEST_F(ExecutableImage, IsA64BitConsoleProgram) {
  EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, nt_->OptionalHeader.Magic);
  EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, nt_->FileHeader.Machine);
  EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_CUI, nt_->OptionalHeader.Subsystem);
}

TEST_F(ExecutableImage, ImportsOnlyWindowsSystemDlls) {
  const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll", "ole32.dll", "advapi32.dll",
                                        "user32.dll"};
  const IMAGE_DATA_DIRECTORY& directory =
      nt_->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(0u, directory.VirtualAddress);
  std::set<std::string> imported;
  for (size_t offset = OffsetOf(directory.VirtualAddress);;
       offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(offset);
    ASSERT_NE(nullptr, descriptor);
    if (descriptor->Name == 0) {
      break;
    }
    std::string name(image_.c_str() + OffsetOf(descriptor->Name));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    imported.insert(name);
  }
  EXPECT_TRUE(imported.count("ole32.dll"));
  for (const std::string& name : imported) {
    EXPECT_TRUE(system.count(name) || name.rfind("api-ms-win-", 0) == 0)
        << name << " is not a Windows system DLL";
  }
}

TEST_F(ExecutableImage, ManifestAsksForTheInvokersRightsAndNoUiAccess) {
  const std::wstring path = BuildFolder() + L"Quorvane.exe";
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, module);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(nullptr, found) << "no application manifest resource";
  const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
  const std::string manifest(data, SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(std::string::npos,
            manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
      << manifest;
}

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || length == 0) {
    return L"(missing)";
  }
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST_F(ExecutableImage, CarriesTheVersionOfTheBuild) {
  const std::wstring path = BuildFolder() + L"Quorvane.exe";
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  ASSERT_NE(0u, size) << "no version resource";
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  EXPECT_EQ(L"Quorvane", VersionString(block, L"ProductName"));
  EXPECT_EQ(L"Quorvane.exe", VersionString(block, L"OriginalFilename"));
  EXPECT_NE(L"(missing)", VersionString(block, L"FileDescription"));
  EXPECT_EQ(QUORVANE_VERSION, VersionString(block, L"FileVersion"));
  EXPECT_EQ(QUORVANE_VERSION, VersionString(block, L"ProductVersion"));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(QUORVANE_VERSION, numbers);
}

}  // namespace
