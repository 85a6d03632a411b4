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
using CountingHandle = UniqueHandle<CountingTraits>;

TEST(UniqueHandle, ClosesEachHandleExactlyOnce) {
    closed.clear();
    {
        CountingHandle a(1);
        CountingHandle b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(1, b.get());
        CountingHandle c(2);
        c = std::move(b);  // closes 2, takes 1
        EXPECT_EQ(std::vector<int>{2}, closed);
        CountingHandle& alias = c;
        c = std::move(alias);  // self-move keeps the handle
        EXPECT_EQ(1, c.get());
        c.reset(3);  // closes 1
        const int released = c.release();
        EXPECT_EQ(3, released);
        CountingHandle empty;
        empty.reset();
    }
    EXPECT_EQ((std::vector<int>{2, 1}), closed);
}

}  // namespace
}  // namespace telvo
