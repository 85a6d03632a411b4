// The lab of tests/lab/adapter-lab.sh from a test under Wine: a computer with two network adapters
// and a host behind each. Wine starts Unix programs too, so the test runs the script itself; it
// learns the script's exit status from a file, since Wine cannot wait for a Unix process.
#pragma once

#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>

#include "tests/win/ProgramDriver.h"

namespace telvo::test {

class AdapterLab {
  public:
    AdapterLab() : tag_("tlv" + std::to_string(GetCurrentProcessId() % 100000)) {}
    ~AdapterLab() {
        if (up_) Run("down");
    }

    // Makes the adapters and hosts. False when the lab cannot be had (not root, no native build).
    bool Up() {
        up_ = Run("up");
        return up_ && Exists(TELVO_NATIVE_TOOLS "/telvo_send_pictures") &&
               Exists(TELVO_NATIVE_TOOLS "/telvo_ttl_probe");
    }
    bool DeleteSecond() { return Run("del2"); }
    bool AddSecond() { return Run("add2"); }
    // Test pictures from host 1 or 2 to `port`, numbered from `first`, until StopSending.
    bool Send(int host, std::uint32_t first, std::uint16_t port) {
        return Run("send " + std::to_string(host) + " " + std::to_string(first) + " " +
                   std::to_string(port));
    }
    bool StopSending() { return Run("stop"); }
    // On host 2: waits for `count` complete pictures on `port`, then leaves a line in `file`
    // (a Unix path): "complete C incomplete I ttl LOW HIGH".
    bool Probe(std::uint16_t port, int count, const std::string& file) {
        return Run("probe " + std::to_string(port) + " " + std::to_string(count) + " " + file);
    }

    // Runs `command` with /bin/sh and waits up to 30 s for it to end. True on exit status 0.
    static bool Shell(const std::string& command) {
        static int counter = 0;
        const std::string status = "/tmp/telvo-lab-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(++counter);
        std::string line = "/bin/sh -c \"" + command + "; echo $? >" + status + ".part; mv " +
                           status + ".part " + status + "\"";
        std::wstring wide(line.begin(), line.end());
        STARTUPINFOW startup{sizeof startup};
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        if (!WaitUntil([&] { return Exists(status); }, std::chrono::seconds(30))) return false;
        int code = -1;
        std::ifstream(WindowsPath(status).c_str()) >> code;
        DeleteFileW(WindowsPath(status).c_str());
        return code == 0;
    }
    static std::wstring WindowsPath(const std::string& unixPath) {
        std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
        for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
        return path;
    }
    static bool Exists(const std::string& unixPath) {
        return GetFileAttributesW(WindowsPath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    bool Run(const std::string& arguments) {
        return Shell(TELVO_SOURCE_ROOT "/tests/lab/adapter-lab.sh " + tag_ + " " + arguments);
    }

    std::string tag_;
    bool up_ = false;
};

}  // namespace telvo::test
