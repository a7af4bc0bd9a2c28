#include "platform/PlatformThreads.h"

#include <exception>
#include <system_error>
#include <thread>

void RunSideBySide(const std::function<void()>& First, const std::function<void()>& Second) {
    std::exception_ptr SecondError;
    std::thread Worker;
    try {
        Worker = std::thread([&Second, &SecondError] {
            try {
                Second();
            } catch (...) {
                SecondError = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        First();
        Second();
        return;
    }
    std::exception_ptr FirstError;
    try {
        First();
    } catch (...) {
        FirstError = std::current_exception();
    }
    Worker.join();
    if (FirstError)
        std::rethrow_exception(FirstError);
    if (SecondError)
        std::rethrow_exception(SecondError);
}

bool TWorkerThread::Start(std::function<void()> Body) {
    try {
        FThread = std::thread(std::move(Body));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void TWorkerThread::StopAndJoin() {
    if (!FThread.joinable())
        return;
    {
        const std::lock_guard<std::mutex> Guard(Lock);
        FStop = true;
    }
    Changed.notify_all();
    FThread.join();
}

void TWorkerThread::Join() {
    if (FThread.joinable())
        FThread.join();
}
