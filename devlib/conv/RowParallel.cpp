#include "RowParallel.h"

#include <exception>
#include <system_error>
#include <thread>

namespace vykconv {

void RowParallel::run(int rows, size_t pixelsPerRow, const std::function<void(int, int)>& body)
{
    if (rows <= 0)
        return;
    static const unsigned cores = std::thread::hardware_concurrency();
    const bool split = rows >= 2 && static_cast<size_t>(rows) * pixelsPerRow >= kMinPixels && cores >= 2;
    if (!split) {
        body(0, rows);
        return;
    }
    const int middle = rows / 2;
    std::exception_ptr helperError;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                body(middle, rows);
            } catch (...) {
                helperError = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        body(0, rows); // no thread to be had: do all of it here
        return;
    }
    std::exception_ptr ownError;
    try {
        body(0, middle);
    } catch (...) {
        ownError = std::current_exception();
    }
    helper.join();
    if (ownError)
        std::rethrow_exception(ownError);
    if (helperError)
        std::rethrow_exception(helperError);
}

} // namespace vykconv
