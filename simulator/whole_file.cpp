#include "simulator/whole_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <windows.h>

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  // A read-only file is refused as Windows refuses it, also where the file
  // system would let its owner write (as Wine lets root).
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  // Written beside the file first and then put in its place, so that a failed
  // write never leaves the file half written. The stream is closed before it
  // is judged: the last of the bytes only reach the disk, or fail to, then.
  const std::wstring fresh = path + L".new";
  std::ofstream file(std::filesystem::path(fresh), std::ios::binary);
  file << bytes;
  file.close();
  if (!file.fail() && MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  DeleteFileW(fresh.c_str());
  return false;
}
