#include "sender/ParallelDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <utility>

#include "tests/TestPicture.h"

namespace telvo {
namespace {

std::vector<std::uint8_t> Deflated(ParallelDeflate& deflater, const std::vector<std::uint8_t>& in,
                                   std::size_t limit) {
    EXPECT_EQ(Z_OK, deflater.Compress(in.data(), in.size(), limit));
    return {deflater.output(), deflater.output() + deflater.outputLength()};
}

std::vector<std::uint8_t> Inflated(const std::vector<std::uint8_t>& stream, std::size_t length) {
    std::vector<std::uint8_t> out(length + 1);
    uLongf outLength = out.size();
    EXPECT_EQ(Z_OK, uncompress(out.data(), &outLength, stream.data(), stream.size()));
    out.resize(outLength);
    return out;
}

TEST(ParallelDeflate, OneStreamWhateverTheThreadsAndCloseToCompress2) {
    const auto desktop = test::MakeDesktopPicture(1920, 1080, 1);
    std::vector<std::uint8_t> reference(compressBound(desktop.size()));
    uLongf referenceLength = reference.size();
    ASSERT_EQ(Z_OK, compress2(reference.data(), &referenceLength, desktop.data(), desktop.size(),
                              Z_DEFAULT_COMPRESSION));
    reference.resize(referenceLength);

    ParallelDeflate oneStream(1, false), one(1), two(2), four(4);
    EXPECT_EQ(reference, Deflated(oneStream, desktop, desktop.size()));
    const auto chunked = Deflated(one, desktop, desktop.size());
    EXPECT_EQ(desktop, Inflated(chunked, desktop.size()));
    EXPECT_LE(chunked.size(), reference.size() * 101 / 100);
    EXPECT_EQ(chunked, Deflated(two, desktop, desktop.size()));
    EXPECT_EQ(chunked, Deflated(four, desktop, desktop.size()));
    EXPECT_EQ(chunked, Deflated(four, desktop, desktop.size()));  // the reused states forget
    four.ReleaseBuffers();
    EXPECT_EQ(chunked, Deflated(four, desktop, desktop.size()));

    // A last chunk of one byte, a picture of exactly one chunk, and chunks that mostly do not
    // compress, whose dictionaries must not reach before the picture.
    std::vector<std::uint8_t> noise = test::MakeNoisePicture(400, 300, 7);
    noise.resize(3 * kDeflateChunk + 1, 0);
    const std::vector<std::uint8_t> oneChunk(noise.begin(), noise.begin() + kDeflateChunk);
    // Repeats across chunk edges are found in the dictionary: no dearer than one stream.
    std::vector<std::uint8_t> repeated(4 * kDeflateChunk);
    for (std::size_t i = 0; i < repeated.size(); ++i) repeated[i] = noise[i % 20000];
    uLongf oneStreamLength = compressBound(repeated.size());
    std::vector<std::uint8_t> oneStreamBytes(oneStreamLength);
    ASSERT_EQ(Z_OK, compress2(oneStreamBytes.data(), &oneStreamLength, repeated.data(),
                              repeated.size(), Z_DEFAULT_COMPRESSION));
    EXPECT_LE(Deflated(two, repeated, repeated.size()).size(), oneStreamLength * 101 / 100 + 64);
    for (const std::vector<std::uint8_t>* input : {&std::as_const(noise), &oneChunk}) {
        const auto stream = Deflated(four, *input, 2 * input->size());
        EXPECT_EQ(*input, Inflated(stream, input->size()));
        EXPECT_EQ(stream, Deflated(one, *input, 2 * input->size()));
    }
}

TEST(ParallelDeflate, OnlyChunksWhoseBytesOrDictionaryChangedAreDeflatedAgain) {
    auto picture = test::MakeDesktopPicture(1024, 768, 1);  // 18 chunks
    const std::size_t chunks = (picture.size() + kDeflateChunk - 1) / kDeflateChunk;
    ParallelDeflate two(2);
    const auto expect = [&](std::size_t deflated) {
        ParallelDeflate fresh(1);
        EXPECT_EQ(Deflated(fresh, picture, picture.size()), Deflated(two, picture, picture.size()));
        EXPECT_EQ(deflated, two.chunksDeflated());
    };
    expect(chunks);
    expect(0);                              // a still screen
    picture[5 * kDeflateChunk + 100] ^= 1;  // inside one chunk
    expect(1);
    picture[8 * kDeflateChunk - 10] ^= 1;  // also in the next chunk's dictionary
    expect(2);
    picture[5 * kDeflateChunk + 100] ^= 1;  // back as it was two pictures ago
    expect(1);
    picture.push_back(0);  // another length: nothing is kept
    expect(chunks);
    two.ReleaseBuffers();
    expect(chunks);
}

TEST(ParallelDeflate, AStreamLongerThanItsLimitIsRefused) {
    const auto desktop = test::MakeDesktopPicture(640, 480, 2);
    ParallelDeflate two(2), oneStream(1, false);
    const auto stream = Deflated(two, desktop, desktop.size());
    EXPECT_EQ(stream, Deflated(two, desktop, stream.size()));
    EXPECT_EQ(Z_BUF_ERROR, two.Compress(desktop.data(), desktop.size(), stream.size() - 1));
    EXPECT_EQ(Z_BUF_ERROR, two.Compress(desktop.data(), desktop.size(), 5));
    const auto noise = test::MakeNoisePicture(400, 300, 3);
    EXPECT_EQ(Z_BUF_ERROR, two.Compress(noise.data(), noise.size(), noise.size()));
    EXPECT_EQ(Z_BUF_ERROR, oneStream.Compress(noise.data(), noise.size(), noise.size()));
    EXPECT_EQ(desktop, Inflated(Deflated(two, desktop, desktop.size()), desktop.size()));
}

}  // namespace
}  // namespace telvo
