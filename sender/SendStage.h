// The broadcast's second stage: sends one picture at a time on a thread of its own while the
// broadcast thread captures and compresses the next. A handed picture is copied first, so the
// capture and the deflater can be used again at once; one picture is in flight at most.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "base/HeapBlock.h"
#include "sender/Packetizer.h"

namespace telvo {

class SendStage {
  public:
    explicit SendStage(DatagramSink& sink) : sink_(sink) {}
    // Waits for the thread to end; nothing may be in flight.
    ~SendStage();
    SendStage(const SendStage&) = delete;
    SendStage& operator=(const SendStage&) = delete;

    // Sends `picture` as `number`: on the stage's thread, or here when no thread or no memory for
    // the copy can be had. Nothing may be in flight. Returns 0, or the sink's error code when the
    // send here failed; a picture that went to the thread has its result from Finish.
    [[nodiscard]] int Hand(const PreparedPicture& picture, std::uint32_t number);
    // Whether a picture was handed to the thread and Finish has not been called since.
    bool inFlight() const { return inFlight_; }
    // Waits until the picture in flight has gone out or failed, and returns the sink's result for
    // it (0 when there was none).
    [[nodiscard]] int Finish();
    // Frees the copy and the datagram buffer (a broadcast's end); nothing may be in flight.
    void ReleaseBuffers();

  private:
    static void ThreadBody(void* self);
    void Run();

    DatagramSink& sink_;
    bool inFlight_ = false;  // the handing thread's only
    HeapBlock datagram_;
    HeapBlock copy_;

    // Shared with the stage's thread under mutex_.
    std::mutex mutex_;
    std::condition_variable work_, done_;
    PreparedPicture picture_;
    std::uint32_t number_ = 0;
    bool pending_ = false;  // handed, not yet sent
    int result_ = 0;
    bool threadStarted_ = false, threadRunning_ = false, stopping_ = false;
};

}  // namespace telvo
