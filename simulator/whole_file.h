#pragma once

#include <optional>
#include <string>

// A file's bytes at once: nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::wstring& path);

// Replaces the file with `bytes`, whole or not at all: false when it cannot be
// written, or is read-only.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
