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
    using CountingHandle = UniqueHandle<CountingTraits>;
    {
        CountingHandle a(1), c(2), empty;
        CountingHandle b(std::move(a));
        EXPECT_FALSE(a);
        c = std::move(b);  // closes 2, takes 1
        CountingHandle& alias = c;
        c = std::move(alias);  // self-move keeps the handle
        EXPECT_EQ(1, c.get());
        c.reset(3);  // closes 1
        EXPECT_EQ(3, c.release());
        empty.reset();
    }
    EXPECT_EQ((std::vector<int>{2, 1}), closed);
}

}  // namespace
}  // namespace telvo
