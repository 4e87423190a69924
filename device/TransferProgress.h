// The progress window as the picture transfer needs it. The transfer lives
// below the main window and never sees its classes: the main window's
// progress window implements this, and tests may put anything in its place.
#pragma once
#include "toolkit/Win.h"

#include <functional>
#include <string>

class TransferProgress {
public:
    // Runs on the worker thread with the owner window as its argument; the
    // result is the thread's exit code, which nobody reads.
    using ThreadProcedure = std::function<int(HWND owner)>;

    virtual ~TransferProgress() = default;

    // On the user-interface thread: disables `owner`, shows the window with
    // the range 0 .. maximum and starts `procedure` on a thread of its own.
    // False while the previous run's thread still works, or when the window
    // or the thread cannot be made (the owner is then enabled again).
    virtual bool Start(int maximum, HWND owner, const std::string& text, ThreadProcedure procedure) = 0;
    // From the worker: the range becomes 0 .. upper.
    virtual void SetRange(int upper) = 0;
    // From the worker: one step; at the upper bound the run finishes.
    virtual void StepIt() = 0;
    // From the worker: enables the owner again and hides the window.
    virtual void Finish() = 0;
    // True while the thread of the last Start still runs.
    virtual bool IsWorkerRunning() const = 0;
};
