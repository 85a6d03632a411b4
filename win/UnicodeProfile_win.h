// Settings files in any language. The profile functions write an ANSI file when they create one,
// so a character outside the ANSI code page would come back as "?". A file that begins with a
// UTF-16LE byte-order mark is read and written in Unicode by the profile functions of every
// Windows: the programs create their files that way, and an older file is converted whole (every
// section, key, value and comment): a UTF-8 file without a byte-order mark (Notepad's) before it
// is read or written, an ANSI file before a text it cannot hold is written. A conversion goes
// through a temporary file in the same folder that then replaces the old file in one step (keeping
// its ACL and attributes), so a failure at any point leaves the old file whole. A file that is
// neither, whose text would be changed by any conversion, is left as it stands and not written.
#pragma once

#include <string>

namespace telvo {

enum class ProfileState {
    kReady,      // the profile functions may read, or write the text
    kFailed,     // the file cannot hold the text (a conversion failed; the file is as it was)
    kWouldLose,  // the file's bytes are no text that a conversion or a write would keep
};

// Makes the settings file at `path` ready for the profile functions to write `*text` into it, or
// to read it when `text` is null: creates a missing or empty file (for writing) as UTF-16LE with a
// byte-order mark, converts a UTF-8 file, and converts an ANSI file when `text` cannot be written
// in the ANSI code page. Unless kReady, the caller writes nothing.
[[nodiscard]] ProfileState PrepareProfileFor(const std::wstring& path, const std::wstring* text);

}  // namespace telvo
