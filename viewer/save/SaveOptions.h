// Where pictures are saved and how often continuous save writes one: the part of the viewer's
// settings that saving uses.
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

struct SaveOptions {
    std::wstring saveDir;
    std::int32_t saveInterval = 60;  // seconds; below 1 (a hand-edited file) counts as none
};

}  // namespace telvo
