#pragma once

// Work on a set of pages at once: the command line's list of pages, and a site's pages. Each
// page is worked on by itself, on as many threads as the machine has; one page's failure does
// not stop the others.

#include <cstddef>
#include <exception>
#include <functional>
#include <vector>

namespace quillfen {

// Runs job(i) for every i below count; the failure of each job, by i (null where it went well).
std::vector<std::exception_ptr> RunOnPages(std::size_t count,
                                           const std::function<void(std::size_t)>& job);

}  // namespace quillfen
