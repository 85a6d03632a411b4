// Names of saved pictures: "<folder>\<prefix>_YYYYMMDD_HHMMSS_mmm.bmp" from the local time, with
// "_2", "_3" ... before ".bmp" when that name is taken.
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

// A single save asked for by the user ("O"), or one of continuous save ("P").
enum class SaveKind { kSingle, kContinuous };

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The full path of a picture saved at `time` into `folder`, which may or may not end in a
// backslash.
std::wstring PictureFilePath(const std::wstring& folder, SaveKind kind, const LocalTime& time);

// The `number`th name to try for a picture whose first choice is `path` (ending in ".bmp"): the
// path itself for 1, then "_2", "_3" ... before ".bmp", so that a save never replaces a file.
std::wstring NumberedPicturePath(const std::wstring& path, unsigned number);

}  // namespace telvo
