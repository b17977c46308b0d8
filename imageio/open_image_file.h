#pragma once
// Opening an image file for a reader, with the reader's own words for a failure.

#include "imageio/image_files.h"
#include "imageio/native_file.h"

inline ImageFileError OpenImageFile(const char* fileName, InputFile* pFile) {
    switch (pFile->Open(fileName)) {
        case FileOpenResult::Opened:
            return ImageFileError::None;
        case FileOpenResult::NotRegular:
            return ImageFileError::NotRegularFile;
        default:
            return ImageFileError::CannotOpen;
    }
}
