#pragma once
// Portable float maps of one sample per pixel ("Pf"), little-endian (scale -1), the
// layout of the Middlebury 2014 evaluation. The file holds the rows bottom first; the
// buffer here is row 0 on top, rows without gaps.

#include <cstdint>
#include <string>
#include <vector>

// The file is replaced whole, as ReplaceFileWhole does. False when it could not be,
// with the reason in *psReason when given.
bool SavePfmGrey(const char* fileName, const float* pValues, int32_t iWidth, int32_t iHeight,
                 std::string* psReason = nullptr);

// A grey float map ("Pf", either byte order) read whole into *pValues, row 0 on top.
// Empty on success; otherwise one line naming the file and what is wrong with it. A
// file that holds less or more than its header declares is refused.
std::string LoadPfmGrey(const std::string& fileName, std::vector<float>* pValues, int32_t* piWidth,
                        int32_t* piHeight);
