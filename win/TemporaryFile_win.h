// A file that is deleted when the guard goes, unless it was kept: what a file written under a
// temporary name and then renamed leaves behind when a step fails.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace telvo {

class TemporaryFile {
  public:
    TemporaryFile() = default;
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates an empty file of a new name in `folder`. False (and nothing to delete) on failure.
    [[nodiscard]] bool CreateIn(const std::wstring& folder) {
        wchar_t name[MAX_PATH] = L"";
        if (GetTempFileNameW(folder.c_str(), L"tlv", 0, name) == 0) return false;
        path_ = name;
        return true;
    }
    const std::wstring& path() const { return path_; }
    // The file has been renamed or is to stay.
    void Keep() { path_.clear(); }

  private:
    std::wstring path_;
};

}  // namespace telvo
