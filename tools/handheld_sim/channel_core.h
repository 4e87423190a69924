// One open channel of the simulated component: the packets going to the
// companion application, the answers waiting to be read, and the thread
// that plays the handheld.
//
// The program's writes only queue the packet and return; the handheld
// thread takes packets in order, lets the companion react, and delivers each
// answer by queuing it and calling the data-arrived notification. So
// notifications never come from inside one of the program's calls, as with
// the real component, and a packet that arrives while no read waits stays
// queued for the next read. No lock of ours is held while the program's
// callback runs, because the program reads from inside that callback.
//
// Plain C++ (std::thread): the COM side supplies the notifications through
// ChannelEvents.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "companion.h"
#include "trace_log.h"

namespace handheld_sim {

class ChannelEvents {
public:
    virtual ~ChannelEvents() = default;
    virtual void ThreadStarted() {}
    virtual void ThreadEnding() {}
    virtual void DataArrived() = 0;
    virtual void ChannelClosed() = 0;
    // No notification may follow: the program has let go of the channel.
    virtual void Detach() {}
};

class ChannelCore : public std::enable_shared_from_this<ChannelCore> {
public:
    enum class IoResult { Ok, Closed, Failed };

    ChannelCore(std::unique_ptr<Companion> companion, std::unique_ptr<ChannelEvents> events,
                std::shared_ptr<TraceLog> trace, int latencyMs, int closeIdleMs = 0);
    ~ChannelCore();

    void Start();
    // Queues one packet for the handheld (Failed: the write fault for it).
    IoResult Write(const uint8_t* data, size_t length);
    // Takes the oldest answer; got is 0 when none is queued. Closed only when
    // nothing is queued and the channel has gone.
    IoResult Read(uint8_t* buffer, size_t size, size_t& got);
    // The program released the channel: packets already written are still
    // processed (a file ending with them is stored) but no longer answered,
    // and no new notification starts after this returns. A notification
    // already running is waited for, up to two seconds: when the program
    // releases the channel while holding the lock its callback needs, the
    // thread is left to finish on its own instead of deadlocking.
    void Shutdown();

private:
    struct Item {
        int number;
        bool failedWrite;
        std::vector<uint8_t> bytes;
    };
    void Run();
    // Reports the channel closed from the handheld thread (lock held on entry and exit).
    void CloseFromHandheld(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<Companion> companion_;  // used by the handheld thread only
    std::unique_ptr<ChannelEvents> events_;
    std::shared_ptr<TraceLog> trace_;
    const int latencyMs_;
    const int closeIdleMs_;  // the handheld drops an idle channel after this long (0: never)

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> toHandheld_;
    std::deque<std::vector<uint8_t>> toProgram_;
    int written_ = 0;
    bool closed_ = false;     // the handheld side has gone (close_at)
    bool released_ = false;   // the program has released the channel
    bool inCallback_ = false;
    std::thread thread_;
};

}  // namespace handheld_sim
