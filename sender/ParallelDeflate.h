// Compresses a picture into one zlib stream (RFC 1950, which stock `uncompress` accepts) on several
// threads at once. The picture is cut into chunks of kDeflateChunk bytes; each is deflated raw at
// the default level with the 32 KiB before it as its dictionary and ends on a sync flush, the last
// on Z_FINISH; the chunks follow one zlib header, and their Adler-32s are combined into the
// trailer. The stream depends only on the picture, never on the number of threads or on timing,
// so a still screen gives byte-identical pictures.
//
// With a single thread and `chunked` false the stream is the one compress2 makes. The worker
// threads are started on the first compression and kept; the deflate states and the output are
// reused from picture to picture.
//
// A chunked compression keeps a copy of its picture. A chunk of the next picture of the same length
// whose bytes and dictionary are unchanged keeps its compressed bytes instead of being deflated
// again: they would come out the same. On a screen where little moves, little is compressed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/HeapBlock.h"

struct z_stream_s;

namespace telvo {

inline constexpr std::size_t kDeflateChunk = 128 * 1024;
inline constexpr unsigned kMaxDeflateThreads = 8;

class ParallelDeflate {
  public:
    // `threads` (1 to kMaxDeflateThreads, clamped) compress at once, the caller's among them.
    explicit ParallelDeflate(unsigned threads, bool chunked = true);
    // Waits for the worker threads to end.
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // One thread per core, at most kMaxDeflateThreads.
    static unsigned ThreadsForThisMachine();

    // Compresses `length` bytes of `input` into a stream of at most `limit` bytes. Returns Z_OK,
    // Z_BUF_ERROR when the stream would be longer than `limit`, or Z_MEM_ERROR. The stream stays in
    // output() until the next call. One caller at a time.
    [[nodiscard]] int Compress(const std::uint8_t* input, std::size_t length, std::size_t limit);
    const std::uint8_t* output() const { return output_.get(); }
    std::size_t outputLength() const { return outputLength_; }

    unsigned threads() const { return threads_; }
    // How many chunks the last Compress deflated; the others were kept from the picture before.
    std::size_t chunksDeflated() const { return chunksDeflated_; }
    // Frees the output, the chunks' buffers and the kept picture (a broadcast's end); threads and
    // states stay.
    void ReleaseBuffers();

  private:
    struct Chunk {
        HeapBlock bytes;
        std::size_t length = 0;
        unsigned long adler = 0;
        int result = 0;
        bool kept = false;      // bytes, length and adler are those of this chunk of previous_
        bool deflated = false;  // not kept by the current Compress
    };

    int CompressOneStream(const std::uint8_t* input, std::size_t length, std::size_t limit);
    int CompressChunks(const std::uint8_t* input, std::size_t length, std::size_t limit);
    [[nodiscard]] bool StartWorkers();
    // The deflate state in `slot`, made on first use; null when it cannot be had.
    [[nodiscard]] z_stream_s* Stream(z_stream_s*& slot, int windowBits);
    // Keeps a copy of `length` bytes of `input` for the next picture to compare with: the chunks
    // deflated anew, or the whole picture when its length changed.
    void KeepPicture(const std::uint8_t* input, std::size_t length);
    // Whether chunk `index` and its dictionary are the same in input_ as in previous_.
    bool Unchanged(std::size_t index) const;
    void DeflateChunk(z_stream_s* stream, std::size_t index);
    // Takes chunks of the current picture until none is left; `lock` is held between chunks.
    void TakeChunks(std::unique_lock<std::mutex>& lock, unsigned streamIndex);
    static void WorkerBody(void* self);
    void Work(unsigned streamIndex);

    const unsigned threads_;
    const bool chunked_;
    z_stream_s* oneStream_ = nullptr;   // the zlib stream of the one-stream path
    std::vector<z_stream_s*> streams_;  // raw deflate, one per thread; null until first used
    HeapBlock output_;
    std::size_t outputLength_ = 0;
    HeapBlock previous_;  // the last chunked picture; read by the workers, written between pictures
    std::size_t previousLength_ = 0;
    std::size_t chunksDeflated_ = 0;

    // The picture being compressed and the chunks, shared with the workers under mutex_.
    std::mutex mutex_;
    std::condition_variable work_, done_;
    const std::uint8_t* input_ = nullptr;
    std::size_t inputLength_ = 0;
    std::vector<Chunk> chunks_;
    std::size_t chunkCount_ = 0, nextChunk_ = 0, chunksDone_ = 0;
    unsigned workersRunning_ = 0, workersNumbered_ = 0;
    bool workersStarted_ = false;
    bool stopping_ = false;
};

}  // namespace telvo
