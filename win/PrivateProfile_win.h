// A section of an ini file through the platform's private-profile functions (Unicode API).
#pragma once

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

  private:
    const std::wstring path_;
    const wchar_t* section_;
};

}  // namespace telvo
