#include "base/UniqueHandle.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace telvo {
namespace {

std::vector<int> closed;
struct CountingTraits {
    using Handle = int;
    static constexpr Handle Invalid() { return -1; }
    static void Close(Handle handle) { closed.push_back(handle); }
};

TEST(UniqueHandle, ClosesEachHandleExactlyOnce) {
    {
        UniqueHandle<CountingTraits> a(1), c(2), empty;
        UniqueHandle<CountingTraits> b(std::move(a));
        c = std::move(b);  // closes 2, takes 1
        auto& alias = c;
        c = std::move(alias);  // self-move keeps the handle
        EXPECT_TRUE(!a && c.get() == 1);
        c.reset(3);  // closes 1
        EXPECT_EQ(3, c.release());
        empty.reset();
    }
    EXPECT_EQ((std::vector<int>{2, 1}), closed);
}

}  // namespace
}  // namespace telvo
