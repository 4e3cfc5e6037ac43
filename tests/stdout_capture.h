#pragma once

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

#include <windows.h>

#include "simulator/whole_file.h"

// A new empty file's name in the temporary folder.
inline std::wstring NewTempName(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH];
  wchar_t file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, prefix, 0, file);
  return file;
}

// Every byte written to standard output until Finish, exactly as the C
// runtime's text-mode stream writes it to a file.
class StdoutCapture {
 public:
  StdoutCapture() : path_(NewTempName(L"qvo")) {
    (void)std::fflush(stdout);
    const int captured = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_TEXT);
    saved_ = _dup(_fileno(stdout));
    _dup2(captured, _fileno(stdout));
    _close(captured);
  }
  std::string Finish() {
    (void)std::fflush(stdout);
    _dup2(saved_, _fileno(stdout));
    _close(saved_);
    std::string bytes = ReadWholeFile(path_).value_or("");
    DeleteFileW(path_.c_str());
    return bytes;
  }

 private:
  std::wstring path_;
  int saved_ = -1;
};
