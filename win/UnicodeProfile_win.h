// Settings files in any language. The profile functions write an ANSI file when they create one,
// so a character outside the ANSI code page would come back as "?". A file that begins with a
// UTF-16LE byte-order mark is read and written in Unicode by the profile functions of every
// Windows: the programs create their files that way, and an older ANSI file is converted whole
// (every section, key, value and comment) before a text it cannot hold is written. The conversion
// goes through a temporary file in the same folder that then replaces the old file in one step, so
// a failure at any point leaves the old file whole. Other files are read and kept as they stand.
#pragma once

#include <string>

namespace telvo {

// Makes the settings file at `path` ready for the profile functions to write `text` into it:
// creates a missing or empty file as UTF-16LE with a byte-order mark, and converts an ANSI file
// to UTF-16LE when `text` cannot be written in the ANSI code page. False when the file cannot
// hold `text` (a conversion failed and the file is as it was); the caller then writes nothing.
[[nodiscard]] bool PrepareProfileFor(const std::wstring& path, const std::wstring& text);

}  // namespace telvo
