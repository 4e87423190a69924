// The main window's decoding thread.
#include "ui/PictureDecoder.h"

#include "toolkit/Handles.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
std::atomic<int> g_runningThreads{0};
}

struct CPictureDecoder::State {
    std::mutex lock;
    std::condition_variable wake;
    bool started = false;
    bool stop = false;
    std::wstring path;       // the newest request's path; empty once taken
    unsigned requested = 0;  // the newest request's number
    unsigned decoding = 0;   // the request being (or last) decoded
    unsigned finished = 0;   // the request whose result waits in `result`
    DecodedPictureRef result;
    HWND window = nullptr;
    UINT message = 0;
};

CPictureDecoder::CPictureDecoder() : m_state(std::make_shared<State>()) {}

CPictureDecoder::~CPictureDecoder() { Stop(); }

int CPictureDecoder::RunningThreads() { return g_runningThreads.load(); }

unsigned CPictureDecoder::Request(const std::wstring& path, HWND window, UINT message) {
    State& s = *m_state;
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.stop) return 0;
    s.path = path;
    if (++s.requested == 0) ++s.requested;  // 0 means "none"
    s.window = window;
    s.message = message;
    s.result.reset();  // an overtaken result is not kept
    s.finished = 0;
    if (!s.started) {
        ++g_runningThreads;
        try {
            std::thread(&CPictureDecoder::Run, m_state).detach();
            s.started = true;
        } catch (...) {
            --g_runningThreads;
            s.path.clear();
            return 0;
        }
    }
    s.wake.notify_one();
    return s.requested;
}

bool CPictureDecoder::Take(unsigned number, DecodedPictureRef* picture) {
    State& s = *m_state;
    std::lock_guard<std::mutex> guard(s.lock);
    if (number == 0 || number != s.requested || number != s.finished) return false;
    *picture = std::move(s.result);
    s.finished = 0;
    s.path.clear();
    return true;
}

bool CPictureDecoder::Busy() const {
    State& s = *m_state;
    std::lock_guard<std::mutex> guard(s.lock);
    return !s.path.empty();
}

void CPictureDecoder::Stop() {
    State& s = *m_state;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.stop = true;
        s.result.reset();
        s.path.clear();
    }
    s.wake.notify_one();
}

void CPictureDecoder::Run(std::shared_ptr<State> state) {
    State& s = *state;
    {
        tk::ComApartment apartment(COINIT_APARTMENTTHREADED);  // the platform's imaging components
        std::unique_lock<std::mutex> guard(s.lock);
        for (;;) {
            s.wake.wait(guard, [&] { return s.stop || (!s.path.empty() && s.decoding != s.requested); });
            if (s.stop) break;
            const unsigned number = s.requested;
            const std::wstring path = s.path;
            s.decoding = number;
            guard.unlock();
            DecodedPictureRef picture;
            try {
                picture = OpenDecodedPicture(path);
            } catch (...) {
                picture.reset();  // nothing may leave the thread: the picture reads 0 x 0
            }
            guard.lock();
            if (s.stop) break;
            if (number != s.requested) continue;  // overtaken: the newer request is next
            s.result = std::move(picture);
            s.finished = number;
            ::PostMessageA(s.window, s.message, number, 0);
        }
    }
    --g_runningThreads;
}
