// The number that log lines show for their thread.
#pragma once

#include <cstdint>

namespace lockora::logging {

// A small number for the calling thread: 1 for the first thread that asks,
// then 2, 3, ... in order of first use, the same for the thread's whole life.
// Small numbers keep the log's five-character field aligned and, unlike
// recycled OS thread ids, never name two threads of one run alike.
std::uint32_t CurrentThreadNumber();

} // namespace lockora::logging
