#include "session/pageset.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace quillfen {

std::vector<std::exception_ptr> RunOnPages(std::size_t count,
                                           const std::function<void(std::size_t)>& job) {
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < count;) {
            try {
                job(i);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (auto& t : pool) t.join();
    return failures;
}

}  // namespace quillfen
