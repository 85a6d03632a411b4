// A section of an ini file through the platform's private-profile functions (Unicode API), with
// the file kept in an encoding that holds any language (UnicodeProfile_win).
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "base/ProfileSection.h"

namespace telvo {

class PrivateProfile : public ProfileSection {
  public:
    PrivateProfile(std::wstring path, const wchar_t* section)
        : path_(std::move(path)), section_(section) {}

    std::uint32_t ReadInteger(const wchar_t* key, std::uint32_t absent) override;
    std::wstring ReadText(const wchar_t* key, const std::wstring& absent,
                          std::size_t maxChars) override;
    void WriteText(const wchar_t* key, const std::wstring& value) override;

    // Some value was not written because the file holds bytes that no conversion would keep.
    bool leftUnconvertible() const { return leftUnconvertible_; }
    const std::wstring& path() const { return path_; }

  private:
    void PrepareForReading();

    const std::wstring path_;
    const wchar_t* section_;
    bool readyForReading_ = false;
    bool leftUnconvertible_ = false;
};

// Tells the user, once in the program's run, when `file` was left as it stood and the new
// settings not stored: a message box owned by `owner` with the program's `caption`.
void TellOnceIfLeftUnconvertible(const PrivateProfile& file, HWND owner, const wchar_t* caption);

}  // namespace telvo
