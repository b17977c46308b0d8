#pragma once
// Whether two names lead to one file, also through a symbolic or hard link: compared by
// the identity the system gives a file where both exist, else by normalised path.

#include <string>

bool PlatformSameFile(const std::string& first, const std::string& second);
