// Writes the picture on show, byte for byte, as a bitmap file.
#pragma once

#include <string>

#include "viewer/net/PictureStore.h"
#include "viewer/save/PictureFileName.h"

namespace telvo {

// Writes the CurrentImage into `folder` under a name made of the kind's prefix and the local time
// to the millisecond; a file of the same name is replaced. The picture is held under imageLock
// until the file is closed. Returns the full path, or "" when nothing was written (no picture,
// the file cannot be created, or the write was short: a partly written file stays). Any thread.
std::wstring WriteCurrentPicture(const PictureStore& store, SaveKind kind,
                                 const std::wstring& folder);

}  // namespace telvo
