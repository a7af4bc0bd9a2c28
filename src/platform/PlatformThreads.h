#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs Second on a thread of its own while First runs on the caller's thread, and returns once both
// are done. Neither may call the caller's progress or cancel callbacks: those belong to the
// caller's thread. An error raised by either reaches the caller, First's when both raise. When no
// thread can be started, Second runs after First on the caller's thread.
void RunSideBySide(const std::function<void()>& First, const std::function<void()>& Second);

// A worker thread, with the lock and the condition under which its owner and it share
// their state: the owner changes that state under Lock, then calls Wake.
class TWorkerThread {
public:
    TWorkerThread() = default;
    ~TWorkerThread() { StopAndJoin(); }
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // Runs Body on a new thread; false when no thread can be started.
    bool Start(std::function<void()> Body);
    // For a thread started only once work comes: the first call starts Body, and every call tells
    // whether the thread runs. Once a start has failed, or the thread has been stopped, the caller
    // does the work itself.
    bool StartOnce(std::function<void()> Body) {
        if (!FTried) {
            FTried = true;
            (void)Start(std::move(Body));
        }
        return Started();
    }
    bool Started() const { return FThread.joinable(); }
    // Asks the thread to stop (Stopping turns true), wakes it and waits for it to end.
    void StopAndJoin();
    // Waits for a thread that ends by itself.
    void Join();
    void Wake() { Changed.notify_all(); }
    // Read under Lock.
    bool Stopping() const { return FStop; }

    std::mutex Lock;
    std::condition_variable Changed;

private:
    bool FStop = false;
    bool FTried = false;
    std::thread FThread;
};
