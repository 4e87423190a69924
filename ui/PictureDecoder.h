// The main window's decoding thread: Open, drop, the command line and a
// hand-over ask it for a picture, and the window keeps answering while the
// picture is decoded. The newest request wins: one that is still waiting is
// replaced, and the result of one that was overtaken is dropped. When the
// picture of a request is ready, the thread posts `message` to the window
// with the request's number in wParam; the window then takes the result.
//
// The thread shares its state with this object, never the object itself, so
// Stop need not wait for a decode in progress (a 200-megapixel photo takes
// seconds): the thread then ends by itself once that decode is done, and
// posts nothing.
#pragma once
#include "imaging/ImageOps.h"
#include "toolkit/Win.h"

#include <memory>
#include <string>

class CPictureDecoder {
public:
    CPictureDecoder();
    ~CPictureDecoder();
    CPictureDecoder(const CPictureDecoder&) = delete;
    CPictureDecoder& operator=(const CPictureDecoder&) = delete;

    // Asks for `path`; returns the request's number (never 0). Nothing
    // happens after Stop.
    unsigned Request(const std::wstring& path, HWND window, UINT message);
    // The picture of request `number` once its message came (null when it
    // cannot be decoded). False when a newer request was made since, or the
    // result was taken already.
    bool Take(unsigned number, DecodedPictureRef* picture);
    // True from a request until its result was taken.
    bool Busy() const;
    // Ends the thread: at once when it is idle, else after the decode in
    // progress, without waiting for it. A result not taken is dropped.
    // Idempotent.
    void Stop();

    // Decoding threads of the process that have not ended yet (a stopped
    // one may still finish its decode while the process ends).
    static int RunningThreads();

private:
    struct State;
    static void Run(std::shared_ptr<State> state);
    std::shared_ptr<State> m_state;
};
