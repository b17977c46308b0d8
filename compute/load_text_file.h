#pragma once
#include <optional>
#include <string>

// The whole file, byte for byte; nothing when it cannot be opened or read.
std::optional<std::string> LoadTextFile(const std::string& fileName);
