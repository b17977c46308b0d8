#pragma once
// ImageMagick's convert, which makes the tests' pictures in the formats it writes and
// reads them back as an independent reference.

#include <string>

bool HaveImageMagick();
// The message for GTEST_SKIP() where it is missing.
const char* ImageMagickMissing();
// Runs convert with these arguments, quiet; true when it succeeded.
bool Convert(const std::string& arguments);
// A path as one shell word.
std::string Quoted(const std::string& path);
