#pragma once

#include <functional>

namespace linlangok {

// Hands work from an engine thread (the timer thread, a device callback) to the UI thread. The
// windows implement it with a queued Qt call; the command-line tool and the tests with
// CUiTaskQueue and a loop of their own.
class IUiThreadPoster {
public:
    virtual ~IUiThreadPoster() = default;

    // Any thread: runs task later on the UI thread, in posting order. Never runs it inline.
    virtual void Post(std::function<void()> task) = 0;
};

} // namespace linlangok
