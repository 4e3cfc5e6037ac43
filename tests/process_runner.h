#pragma once

#include <string>

#include <windows.h>

enum class StandardOutput { kPipe, kFile, kClosed };

struct ProcessResult {
  DWORD exitCode;
  std::string output;
};

// The folder this test program runs from, where Quorvane.exe is built too.
std::wstring BuildFolder();

// Starts `program` with the raw command line `"program" arguments`, so that the
// runtime's own argument splitting is part of what is tested, and waits for it.
ProcessResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                         StandardOutput to = StandardOutput::kPipe);

std::string ReadWholeFile(const std::wstring& path);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);
