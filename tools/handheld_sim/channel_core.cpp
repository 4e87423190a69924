// The handheld thread of one simulated channel; see channel_core.h.
#include "channel_core.h"

#include <chrono>
#include <cstring>
#include <string>

namespace handheld_sim {

ChannelCore::ChannelCore(std::unique_ptr<Companion> companion, std::unique_ptr<ChannelEvents> events,
                         std::shared_ptr<TraceLog> trace, int latencyMs, int closeIdleMs)
    : companion_(std::move(companion)), events_(std::move(events)), trace_(std::move(trace)),
      latencyMs_(latencyMs), closeIdleMs_(closeIdleMs) {}

ChannelCore::~ChannelCore() {
    if (thread_.joinable()) thread_.detach();  // only when Shutdown was never called
}

void ChannelCore::Start() {
    // The thread keeps the core alive, so a release from inside one of our
    // own notifications can let it finish on its own.
    std::shared_ptr<ChannelCore> self = shared_from_this();
    thread_ = std::thread([self] { self->Run(); });
}

ChannelCore::IoResult ChannelCore::Write(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || released_) return IoResult::Closed;
    Item item{++written_, false, std::vector<uint8_t>(data, data + length)};
    item.failedWrite = companion_->FailsWrite(item.number);
    const bool failed = item.failedWrite;
    toHandheld_.push_back(std::move(item));  // traced in order by the thread
    wake_.notify_all();
    return failed ? IoResult::Failed : IoResult::Ok;
}

ChannelCore::IoResult ChannelCore::Read(uint8_t* buffer, size_t size, size_t& got) {
    std::lock_guard<std::mutex> lock(mutex_);
    got = 0;
    if (toProgram_.empty()) return closed_ ? IoResult::Closed : IoResult::Ok;
    std::vector<uint8_t> packet = std::move(toProgram_.front());
    toProgram_.pop_front();
    got = packet.size() < size ? packet.size() : size;
    std::memcpy(buffer, packet.data(), got);
    if (got < packet.size())
        trace_->Line("read cut: a " + std::to_string(packet.size()) + "-byte answer into " +
                     std::to_string(size) + " bytes");
    return IoResult::Ok;
}

void ChannelCore::Shutdown() {
    const bool fromOwnThread = std::this_thread::get_id() == thread_.get_id();
    bool callbackStuck = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (released_) return;
        released_ = true;
        trace_->Line(closed_ ? "release by program" : "close by program");
        wake_.notify_all();
        if (!fromOwnThread) {
            // A notification that is running may be waiting for a lock that
            // the releasing thread holds; give it a moment, but never hang.
            callbackStuck = !wake_.wait_for(lock, std::chrono::seconds(2), [&] { return !inCallback_; });
            if (callbackStuck)
                trace_->Line("release does not wait for a notification still blocked in the callback");
        }
    }
    if (fromOwnThread || callbackStuck) {
        // The thread checks released_ before every further call into the
        // program and ends by itself; it keeps the core alive until then.
        events_->Detach();
        thread_.detach();
        return;
    }
    if (thread_.joinable()) thread_.join();
    events_->Detach();
}

void ChannelCore::CloseFromHandheld(std::unique_lock<std::mutex>& lock) {
    closed_ = true;
    if (released_) return;
    inCallback_ = true;
    lock.unlock();
    events_->ChannelClosed();
    lock.lock();
    inCallback_ = false;
    wake_.notify_all();
}

void ChannelCore::Run() {
    events_->ThreadStarted();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto ready = [&] { return released_ || !toHandheld_.empty(); };
        if (closeIdleMs_ > 0 && !closed_) {
            // The handheld goes away by itself when nothing comes for a while.
            if (!wake_.wait_for(lock, std::chrono::milliseconds(closeIdleMs_), ready)) {
                trace_->Line("close after " + std::to_string(closeIdleMs_) + " ms idle (close_idle_ms)");
                CloseFromHandheld(lock);
                continue;
            }
        } else {
            wake_.wait(lock, ready);
        }
        if (toHandheld_.empty()) break;  // released and drained
        Item item = std::move(toHandheld_.front());
        toHandheld_.pop_front();
        const std::string num = "#" + std::to_string(item.number);
        if (item.failedWrite) {
            trace_->Line("write " + num + " failed (fail_write_at) len=" + std::to_string(item.bytes.size()));
            continue;
        }
        if (closed_) {
            trace_->Line("drop " + num + ": the channel has closed");
            continue;
        }

        lock.unlock();
        Reaction reaction = companion_->OnPacket(item.number, item.bytes);
        lock.lock();

        if (reaction.kind == Reaction::Close) {
            CloseFromHandheld(lock);
        } else if (reaction.kind == Reaction::Answer) {
            if (latencyMs_ > 0 && !released_)
                wake_.wait_for(lock, std::chrono::milliseconds(latencyMs_), [&] { return released_; });
            if (released_) {
                trace_->Line("answer " + num + " dropped: channel released");
                continue;
            }
            toProgram_.push_back(BuildAnswerPacket(reaction.text));
            trace_->Line("answer " + num + " \"" + reaction.text + "\"");
            inCallback_ = true;
            lock.unlock();
            events_->DataArrived();
            lock.lock();
            inCallback_ = false;
            wake_.notify_all();
        }
    }
    lock.unlock();
    events_->ThreadEnding();
}

}  // namespace handheld_sim
