// Writes a picture, byte for byte, as a bitmap file that never shows up cut short.
#pragma once

#include <windows.h>

#include <string>

#include "viewer/net/PictureStore.h"
#include "viewer/save/PictureFileName.h"

namespace telvo {

// What a save gave: the full path of the new file, or an empty path and the system's error code.
struct SavedPicture {
    std::wstring path;
    DWORD error = ERROR_SUCCESS;
};

// Writes `picture` as the file `path` (from PictureFilePath), or as "_2", "_3" ... of it when that
// name is taken: an existing file is never replaced. The bytes go into a temporary file in the same
// folder that takes the picture's name only once it is complete and flushed, so no cut-short file
// ever carries such a name; on failure the temporary file is removed. Holds no lock (the picture
// is a copy): a slow folder delays only the caller. Any thread.
SavedPicture WriteCurrentPicture(const PictureCopy& picture, const std::wstring& path);

// The local time now, for PictureFilePath.
LocalTime LocalTimeNow();

}  // namespace telvo
