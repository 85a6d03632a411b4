// An ini section in memory that reads integers the way the profile functions do (the leading
// number of the text).
#pragma once

#include <cwchar>
#include <map>
#include <string>

#include "base/ProfileSection.h"

namespace telvo::test {

class MemorySection : public ProfileSection {
  public:
    std::uint32_t ReadInteger(const wchar_t* key, std::uint32_t absent) override {
        const auto found = values.find(key);
        if (found == values.end()) return absent;
        return static_cast<std::uint32_t>(std::wcstoll(found->second.c_str(), nullptr, 10));
    }
    std::wstring ReadText(const wchar_t* key, const std::wstring& absent,
                          std::size_t maxChars) override {
        const auto found = values.find(key);
        return (found == values.end() ? absent : found->second).substr(0, maxChars);
    }
    void WriteText(const wchar_t* key, const std::wstring& value) override { values[key] = value; }

    std::map<std::wstring, std::wstring> values;
};

}  // namespace telvo::test
