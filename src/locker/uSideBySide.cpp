#include "uSideBySide.h"

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
