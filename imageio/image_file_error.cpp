#include "imageio/image_files.h"

const char* DescribeImageFileError(ImageFileError error) {
    switch (error) {
        case ImageFileError::None:
            return "was read without error";
        case ImageFileError::CannotOpen:
            return "cannot be opened";
        case ImageFileError::NotRegularFile:
            return "is not a regular file";
        case ImageFileError::NotThisFormat:
            return "has the wrong signature";
        case ImageFileError::Unsupported:
            return "uses a format this reader does not decode";
        case ImageFileError::TooLarge:
            return "is too large";
        case ImageFileError::Corrupt:
            return "is damaged";
    }
    // A value cast from outside the enumeration still gets a usable phrase.
    return "failed for an unknown reason";
}
