// One section of an initialisation file, as a settings record reads and writes it. The programs
// use the platform's private-profile functions (PrivateProfile_win); tests use a map.
#pragma once

#include <cstdint>
#include <string>

namespace telvo {

class ProfileSection {
  public:
    virtual ~ProfileSection() = default;
    // The key's value converted as the platform's profile-integer function does, or `absent`.
    virtual std::uint32_t ReadInteger(const wchar_t* key, std::uint32_t absent) = 0;
    // The key's text cut to `maxChars` characters, or `absent`.
    virtual std::wstring ReadText(const wchar_t* key, const std::wstring& absent,
                                  std::size_t maxChars) = 0;
    // Failures are not reported here; a platform section may keep its own record of them.
    virtual void WriteText(const wchar_t* key, const std::wstring& value) = 0;
};

// The settings file `fileName` in the folder of the executable at `modulePath`.
std::wstring SettingsPathBeside(const std::wstring& modulePath, const wchar_t* fileName);

}  // namespace telvo
