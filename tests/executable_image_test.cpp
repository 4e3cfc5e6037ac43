// What a Windows user downloads, as built and as signed: a 64-bit console
// program that imports only Windows system DLLs, carries a manifest asking for
// the invoker's rights, and says its version.

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

struct ImageFile {
  std::string title;
  std::wstring path;  // in the build folder
  std::wstring name;  // what the version resource calls it
};

void PrintTo(const ImageFile& row, std::ostream* out) { *out << row.title; }

// Each program of the release as built and as signed.
std::vector<ImageFile> ReleaseImages() {
  std::vector<ImageFile> images;
  for (const wchar_t* program : kReleasePrograms) {
    const std::wstring name = program;
    std::string title;  // the name less ".exe", whose letters are ASCII
    for (const wchar_t* unit = program; *unit != L'.'; ++unit) {
      title += static_cast<char>(*unit);
    }
    images.push_back({title + "Built", name, name});
    images.push_back({title + "Signed", SignedProgram(program), name});
  }
  return images;
}

class ExecutableImage : public ::testing::TestWithParam<ImageFile> {
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
  const std::wstring path_ = BuildFolder() + GetParam().path;
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
  const std::wstring expected[][2] = {{L"FileVersion", QUORVANE_VERSION},
                                      {L"ProductVersion", QUORVANE_VERSION},
                                      {L"OriginalFilename", GetParam().name}};
  for (const auto& [name, text] : expected) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    ASSERT_TRUE(VerQueryValueW(block.data(), path.c_str(), &value, &length));
    EXPECT_EQ(text, std::wstring(static_cast<const wchar_t*>(value)));
  }
}

// Each is meant to be dropped anywhere without a second thought; a signature
// comes on top.
TEST(ExecutableImage, EachStaysWithinTwentyKibibytes) {
  for (const wchar_t* name : kReleasePrograms) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW((BuildFolder() + name).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0u, data.nFileSizeHigh);
    EXPECT_LE(data.nFileSizeLow, 20u * 1024u) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ExecutableImage, ::testing::ValuesIn(ReleaseImages()),
                         [](const ::testing::TestParamInfo<ImageFile>& info) {
                           return info.param.title;
                         });

}  // namespace
