#include "viewer/save/ContinuousSave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"

namespace telvo {
namespace {

using test::WaitUntil;

// A store to publish into, a clock the test moves, and a writer that records what it is asked.
class Continuous : public ::testing::Test {
  protected:
    void Publish() {
        HeapBlock block = HeapBlock::Allocate(picture.size());
        std::memcpy(block.get(), picture.data(), picture.size());
        ASSERT_TRUE(
            store->Publish(block, static_cast<std::uint32_t>(picture.size()), store->generation()));
    }
    std::size_t Writes() {
        std::lock_guard<std::mutex> lock(mutex);
        return writes.size();
    }

    std::vector<std::uint8_t> picture = test::MakeDesktopPicture(32, 24, 1);
    std::shared_ptr<PictureStore> store = std::make_shared<PictureStore>();
    std::atomic<std::uint32_t> seconds{1000};
    std::atomic<bool> failWrites{false}, overlapped{false};
    std::atomic<int> writing{0};
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::wstring>> writes;  // (time, folder)
    ContinuousSave save{store,
                        [this](const std::wstring& folder) {
                            if (++writing != 1) overlapped = true;
                            std::this_thread::yield();
                            --writing;
                            if (failWrites) return false;
                            std::lock_guard<std::mutex> lock(mutex);
                            writes.emplace_back(seconds.load(), folder);
                            return true;
                        },
                        [this] { return seconds.load(); }};
};

TEST_F(Continuous, WritesOnceThereIsAPictureThenEveryInterval) {
    ASSERT_EQ(0, save.Start(5, L"C:\\shots"));
    EXPECT_TRUE(save.on());
    seconds += 20;  // nothing to write yet
    Publish();
    ASSERT_TRUE(WaitUntil([&] { return Writes() == 1; }));
    seconds += 4;
    seconds += 1;
    ASSERT_TRUE(WaitUntil([&] { return Writes() == 2; }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(1020u, writes[0].first);
        EXPECT_EQ(1025u, writes[1].first);
        EXPECT_EQ(L"C:\\shots", writes[1].second);
    }
    save.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !save.threadRunning(); }));
    ASSERT_EQ(0, save.Start(5, L"D:\\other"));  // a new start saves at once
    ASSERT_TRUE(WaitUntil([&] { return Writes() == 3; }));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(L"D:\\other", writes[2].second);
}

TEST_F(Continuous, AFailedWriteSwitchesItOffAndAQuickRestartNeverMakesTwoThreads) {
    Publish();
    failWrites = true;
    ASSERT_EQ(0, save.Start(1, L"gone"));
    ASSERT_TRUE(WaitUntil([&] { return !save.threadRunning(); }));
    EXPECT_FALSE(save.on());

    failWrites = false;
    for (int i = 0; i < 300; ++i) {  // F7 off and on again faster than the thread's 10 ms pass
        ASSERT_EQ(0, save.Start(1, L"folder " + std::to_wstring(i)));
        save.Stop();
        seconds += 1;
    }
    ASSERT_EQ(0, save.Start(1, L"last"));
    ASSERT_TRUE(WaitUntil([&] { return Writes() > 0; }));
    save.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !save.threadRunning(); }));
    EXPECT_FALSE(overlapped.load());
    EXPECT_EQ(0, save.Start(0, L"x"));  // no interval: stays off
    EXPECT_FALSE(save.on());
}

// F7 twice while a write is under way: the late end of the old run's write, even a failed one,
// neither switches the new run off nor delays its first save.
TEST_F(Continuous, AStopAndStartDuringAWriteGiveANewRunThatSavesAtOnce) {
    Publish();
    std::atomic<int> calls{0};
    std::atomic<bool> release{false};
    ContinuousSave gated(
        store,
        [&](const std::wstring&) {
            if (++calls > 1) return true;
            while (!release) std::this_thread::yield();
            return false;
        },
        [] { return 7u; });  // the clock stands still: only a first save can happen
    ASSERT_EQ(0, gated.Start(5, L"a"));
    ASSERT_TRUE(WaitUntil([&] { return calls.load() == 1; }));
    gated.Stop();
    ASSERT_EQ(0, gated.Start(5, L"b"));
    release = true;
    EXPECT_TRUE(WaitUntil([&] { return calls.load() == 2; }));
    EXPECT_TRUE(gated.on());
    gated.Stop();
}

TEST_F(Continuous, AThreadStillRunningWhenItsOwnerGoesTouchesNothingThatIsGone) {
    Publish();
    std::atomic<int> writes{0};
    {
        ContinuousSave brief(
            store, [&](const std::wstring&) { return ++writes > 0; }, [] { return 5u; });
        ASSERT_EQ(0, brief.Start(1, L"folder"));
        ASSERT_TRUE(WaitUntil([&] { return writes.load() > 0; }));
    }  // the owner, and with it this test's view of the store, may go while the thread ends
    store.reset();
    EXPECT_EQ(1, writes.load());
}

}  // namespace
}  // namespace telvo
