#include "sender/ParallelDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>

#include "base/Thread.h"

namespace telvo {
namespace {

constexpr std::size_t kDictionary = 32 * 1024;
constexpr int kZlibWindowBits = 15;
constexpr int kRawWindowBits = -15;
constexpr int kMemLevel = 8;  // deflateInit's
constexpr std::size_t kZlibHeader = 2, kZlibTrailer = 4;

}  // namespace

ParallelDeflate::ParallelDeflate(unsigned threads, bool chunked)
    : threads_(std::clamp(threads, 1u, kMaxDeflateThreads)), chunked_(chunked || threads_ > 1) {
    streams_.assign(threads_, nullptr);
}

ParallelDeflate::~ParallelDeflate() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        stopping_ = true;
        work_.notify_all();
        done_.wait(lock, [this] { return workersRunning_ == 0; });
    }
    streams_.push_back(oneStream_);
    for (z_stream_s* stream : streams_) {
        if (stream == nullptr) continue;
        deflateEnd(stream);
        delete stream;
    }
}

unsigned ParallelDeflate::ThreadsForThisMachine() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxDeflateThreads);
}

z_stream_s* ParallelDeflate::Stream(z_stream_s*& slot, int windowBits) {
    if (slot != nullptr) return slot;
    auto* stream = new (std::nothrow) z_stream{};
    if (stream == nullptr) return nullptr;
    if (deflateInit2(stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        delete stream;
        return nullptr;
    }
    slot = stream;
    return stream;
}

void ParallelDeflate::ReleaseBuffers() {
    output_.reset();
    outputLength_ = 0;
    previous_.reset();
    previousLength_ = 0;
    chunks_.clear();
    chunks_.shrink_to_fit();
}

int ParallelDeflate::Compress(const std::uint8_t* input, std::size_t length, std::size_t limit) {
    outputLength_ = 0;
    chunksDeflated_ = 0;
    if (limit > output_.capacity()) {
        output_.reset();
        output_ = HeapBlock::Allocate(limit);
        if (!output_) return Z_MEM_ERROR;
    }
    // A picture of one chunk has no dictionary to share: it is one stream either way.
    if (!chunked_ || length <= kDeflateChunk) return CompressOneStream(input, length, limit);
    return CompressChunks(input, length, limit);
}

int ParallelDeflate::CompressOneStream(const std::uint8_t* input, std::size_t length,
                                       std::size_t limit) {
    z_stream_s* stream = Stream(oneStream_, kZlibWindowBits);
    if (stream == nullptr) return Z_MEM_ERROR;
    deflateReset(stream);
    stream->next_in = const_cast<Bytef*>(input);
    stream->avail_in = static_cast<uInt>(length);
    stream->next_out = output_.get();
    stream->avail_out = static_cast<uInt>(limit);
    const int result = deflate(stream, Z_FINISH);
    if (result != Z_STREAM_END) return result == Z_STREAM_ERROR ? Z_STREAM_ERROR : Z_BUF_ERROR;
    outputLength_ = stream->total_out;
    return Z_OK;
}

bool ParallelDeflate::Unchanged(std::size_t index) const {
    const std::size_t start = index * kDeflateChunk;
    const std::size_t from = start - std::min(kDictionary, start);
    const std::size_t end = std::min(start + kDeflateChunk, inputLength_);
    return previousLength_ == inputLength_ &&
           std::memcmp(input_ + from, previous_.get() + from, end - from) == 0;
}

void ParallelDeflate::DeflateChunk(z_stream_s* stream, std::size_t index) {
    Chunk& chunk = chunks_[index];
    if (chunk.kept && Unchanged(index)) return;
    chunk.kept = false;
    chunk.deflated = true;
    const std::size_t start = index * kDeflateChunk;
    const std::size_t length = std::min(kDeflateChunk, inputLength_ - start);
    const bool last = index + 1 == chunkCount_;
    chunk.adler = adler32(0, nullptr, 0);
    chunk.adler = adler32(chunk.adler, input_ + start, static_cast<uInt>(length));
    if (stream == nullptr) {
        chunk.result = Z_MEM_ERROR;
        return;
    }
    deflateReset(stream);
    if (start > 0) {
        const std::size_t dictionary = std::min(kDictionary, start);
        deflateSetDictionary(stream, input_ + start - dictionary, static_cast<uInt>(dictionary));
    }
    stream->next_in = const_cast<Bytef*>(input_ + start);
    stream->avail_in = static_cast<uInt>(length);
    stream->next_out = chunk.bytes.get();
    stream->avail_out = static_cast<uInt>(chunk.bytes.capacity());
    const int result = deflate(stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool whole = last ? result == Z_STREAM_END
                            : result == Z_OK && stream->avail_in == 0 && stream->avail_out > 0;
    chunk.result = whole ? Z_OK : Z_BUF_ERROR;
    chunk.length = chunk.bytes.capacity() - stream->avail_out;
}

void ParallelDeflate::KeepPicture(const std::uint8_t* input, std::size_t length) {
    // A picture of another length had every chunk deflated: the loop below copies it whole.
    if (length != previousLength_) {
        if (previous_.capacity() < length) {
            previous_.reset();
            previous_ = HeapBlock::Allocate(length);
        }
        previousLength_ = previous_ ? length : 0;
    }
    const bool keeping = previousLength_ == length;
    for (std::size_t i = 0; i < chunkCount_; ++i) {
        Chunk& chunk = chunks_[i];
        if (chunk.deflated && keeping) {
            const std::size_t start = i * kDeflateChunk;
            std::memcpy(previous_.get() + start, input + start,
                        std::min(kDeflateChunk, length - start));
        }
        chunk.kept = keeping && chunk.result == Z_OK;
        if (chunk.deflated) ++chunksDeflated_;
    }
}

void ParallelDeflate::TakeChunks(std::unique_lock<std::mutex>& lock, unsigned streamIndex) {
    while (nextChunk_ < chunkCount_) {
        const std::size_t index = nextChunk_++;
        lock.unlock();
        DeflateChunk(Stream(streams_[streamIndex], kRawWindowBits), index);
        lock.lock();
        if (++chunksDone_ == chunkCount_) done_.notify_all();
    }
}

void ParallelDeflate::WorkerBody(void* self) {
    auto* deflater = static_cast<ParallelDeflate*>(self);
    unsigned streamIndex;
    {
        std::lock_guard<std::mutex> lock(deflater->mutex_);
        streamIndex = ++deflater->workersNumbered_;  // 1 and up: stream 0 is the caller's
    }
    deflater->Work(streamIndex);
}

void ParallelDeflate::Work(unsigned streamIndex) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stopping_ || nextChunk_ < chunkCount_; });
        if (stopping_) break;
        TakeChunks(lock, streamIndex);
    }
    --workersRunning_;
    done_.notify_all();
}

bool ParallelDeflate::StartWorkers() {
    for (unsigned i = 1; i < threads_; ++i) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++workersRunning_;
        if (StartDetachedThread(&WorkerBody, this) != 0) {
            --workersRunning_;  // fewer threads: the caller takes their chunks
            return false;
        }
    }
    return true;
}

int ParallelDeflate::CompressChunks(const std::uint8_t* input, std::size_t length,
                                    std::size_t limit) {
    const std::size_t count = (length + kDeflateChunk - 1) / kDeflateChunk;
    if (chunks_.size() < count) chunks_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Room for a chunk that does not compress, its sync flush and its block headers.
        const std::size_t bound = kDeflateChunk + kDeflateChunk / 1000 + 64;
        if (chunks_[i].bytes.capacity() < bound) {
            chunks_[i].bytes = HeapBlock::Allocate(bound);
            if (!chunks_[i].bytes) return Z_MEM_ERROR;
        }
    }
    if (!workersStarted_) {
        workersStarted_ = true;
        (void)StartWorkers();  // without all of them, only slower
    }

    {
        std::unique_lock<std::mutex> lock(mutex_);
        input_ = input;
        inputLength_ = length;
        chunkCount_ = count;
        nextChunk_ = chunksDone_ = 0;
        for (std::size_t i = 0; i < count; ++i) chunks_[i].deflated = false;
        work_.notify_all();
        TakeChunks(lock, 0);
        done_.wait(lock, [this] { return chunksDone_ == chunkCount_; });
        // The workers wait for the next picture: the kept copy is the caller's again.
        KeepPicture(input, length);
        chunkCount_ = nextChunk_ = chunksDone_ = 0;
    }

    std::uint8_t* out = output_.get();
    std::size_t used = kZlibHeader;
    if (limit < used) return Z_BUF_ERROR;
    out[0] = 0x78;  // deflate, 32 KiB window
    out[1] = 0x9c;  // default level, no preset dictionary, header check
    unsigned long adler = adler32(0, nullptr, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const Chunk& chunk = chunks_[i];
        if (chunk.result != Z_OK) return chunk.result;
        if (limit - used < chunk.length) return Z_BUF_ERROR;
        std::memcpy(out + used, chunk.bytes.get(), chunk.length);
        used += chunk.length;
        const std::size_t chunkLength = std::min(kDeflateChunk, length - i * kDeflateChunk);
        adler = adler32_combine(adler, chunk.adler, static_cast<z_off_t>(chunkLength));
    }
    if (limit - used < kZlibTrailer) return Z_BUF_ERROR;
    for (int shift = 24; shift >= 0; shift -= 8) {
        out[used++] = static_cast<std::uint8_t>(adler >> shift);
    }
    outputLength_ = used;
    return Z_OK;
}

}  // namespace telvo
