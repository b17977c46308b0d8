#pragma once
// A file read whole into memory, for the readers whose decoders take bytes.

#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"

// Never blocks on a pipe or a device (NotRegularFile). A file that shrinks while it
// is read gives what it held; one too large for memory is TooLarge.
ImageFileError ReadWholeFile(const char* fileName, ByteBuffer* bytes);
