#include "sender/SendStage.h"

#include <cstring>

#include "base/Thread.h"

namespace telvo {

SendStage::~SendStage() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    work_.notify_all();
    done_.wait(lock, [this] { return !threadRunning_; });
}

int SendStage::Hand(const PreparedPicture& picture, std::uint32_t number) {
    if (!datagram_) datagram_ = HeapBlock::Allocate(kMaxDatagramSize);
    if (!datagram_) return 0;  // skipped, as a picture without a datagram buffer always was
    if (copy_.capacity() < picture.length) {
        copy_.reset();
        copy_ = HeapBlock::Allocate(picture.length);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (!threadStarted_ && copy_) {
        threadStarted_ = true;
        threadRunning_ = StartDetachedThread(&ThreadBody, this) == 0;
    }
    if (!threadRunning_ || !copy_) {
        lock.unlock();
        return SendPreparedPicture(sink_, picture, number, datagram_.get());
    }
    std::memcpy(copy_.get(), picture.bytes, picture.length);
    picture_ = picture;
    picture_.bytes = copy_.get();
    number_ = number;
    pending_ = true;
    inFlight_ = true;
    work_.notify_all();
    return 0;
}

int SendStage::Finish() {
    if (!inFlight_) return 0;
    inFlight_ = false;
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !pending_; });
    return result_;
}

void SendStage::ReleaseBuffers() {
    copy_.reset();
    datagram_.reset();
}

void SendStage::ThreadBody(void* self) {
    static_cast<SendStage*>(self)->Run();
}

void SendStage::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_) break;
        lock.unlock();
        // The picture and its buffers are this thread's until pending_ is cleared.
        const int result = SendPreparedPicture(sink_, picture_, number_, datagram_.get());
        lock.lock();
        result_ = result;
        pending_ = false;
        done_.notify_all();
    }
    threadRunning_ = false;
    done_.notify_all();
}

}  // namespace telvo
