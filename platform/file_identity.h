#pragma once
// What the system identifies an existing file by, per OS; a name that does not lead to
// one has none.

#include <cstdint>
#include <string>

struct FileIdentity {
    uint64_t volume = 0;
    uint64_t file = 0;
};

bool ReadFileIdentity(const std::string& name, FileIdentity* pIdentity);
