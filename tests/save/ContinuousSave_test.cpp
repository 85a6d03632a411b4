#include "viewer/save/ContinuousSave.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "tests/NetworkTest.h"

namespace telvo {
namespace {

// A clock the test moves, a source without a picture until one is published, and a writer that
// records each write ("folder@second", thread), fails into "gone" and "a" (error 3), and can be
// held.
class Continuous : public ::testing::Test {
  protected:
    void TearDown() override { hold = false; }
    void Publish() { picture = true; }
    [[nodiscard]] int Start(std::uint32_t interval, const std::wstring& folder) {
        return save.Start(interval, folder, [this] {
            static const std::uint8_t byte = 'B';
            return CopyPicture(picture ? &byte : nullptr, 1);
        });
    }
    std::vector<std::pair<std::wstring, std::thread::id>> Writes() {
        std::lock_guard<std::mutex> lock(mutex);
        return writes;
    }

    std::atomic<bool> picture{false};
    std::atomic<std::uint32_t> seconds{1000};
    std::atomic<int> stops{0};
    std::atomic<bool> hold{false};
    std::mutex mutex;
    std::vector<std::pair<std::wstring, std::thread::id>> writes;
    ContinuousSave save{[this](const PictureCopy& copy, const std::wstring& folder) {
                            EXPECT_EQ('B', copy.bytes.get()[0]);
                            std::unique_lock<std::mutex> lock(mutex);
                            writes.emplace_back(folder + L"@" + std::to_wstring(seconds),
                                                std::this_thread::get_id());
                            lock.unlock();
                            while (hold) std::this_thread::yield();
                            return folder == L"gone" || folder == L"a" ? 3u : 0u;
                        },
                        [this] { return seconds.load(); },
                        [this](std::uint32_t error) { stops += error == 3 ? 1 : 100; }};
};

// It ends with the thread running: the owner goes while its thread may still be in a pass.
TEST_F(Continuous, SavesOnceThereIsAPictureThenEveryIntervalAndAtOnceAfterARestart) {
    ASSERT_EQ(0, Start(5, L"C:\\shots"));
    seconds += 20;  // nothing to write yet
    Publish();
    ASSERT_TRUE(test::WaitUntil([&] { return Writes().size() == 1; }));
    seconds += 5;
    ASSERT_TRUE(test::WaitUntil([&] { return Writes().size() == 2; }));
    EXPECT_EQ(L"C:\\shots@1020", Writes()[0].first);
    EXPECT_EQ(L"C:\\shots@1025", Writes()[1].first);
    for (int i = 0; i < 300; ++i) {  // F7 off and on again, faster than the thread's pass
        save.Stop();
        ASSERT_EQ(0, Start(5, L"D:\\other"));
    }
    EXPECT_TRUE(test::WaitUntil([&] { return Writes().back().first == L"D:\\other@1025"; }));
}

// F7 twice while a write is under way: the late end of the old run's write, even a failed one,
// neither switches the new run off nor delays its first save, and the thread simply goes on.
TEST_F(Continuous, AFailedWriteSwitchesItOffButNotARunStartedDuringIt) {
    Publish();
    ASSERT_EQ(0, Start(1, L"gone"));
    ASSERT_TRUE(test::WaitUntil([&] { return !save.threadRunning(); }));
    EXPECT_FALSE(save.on());
    EXPECT_EQ(1, stops);  // told once, with the reason

    hold = true;
    ASSERT_EQ(0, Start(5, L"a"));
    ASSERT_TRUE(test::WaitUntil([&] { return Writes().size() == 2; }));
    save.Stop();
    ASSERT_EQ(0, Start(5, L"b"));
    hold = false;
    ASSERT_TRUE(test::WaitUntil([&] { return Writes().size() == 3; }));
    EXPECT_EQ(L"b@1000", Writes()[2].first);
    EXPECT_EQ(Writes()[1].second, Writes()[2].second);  // no second thread
    EXPECT_TRUE(save.on());
    EXPECT_EQ(1, stops);
}

}  // namespace
}  // namespace telvo
