// A ceiling on the test process's memory.  A walk that goes round for ever
// on a worker thread, which no stop can reach, keeps adding to its lists: it
// should fail on memory (and so end), not take the machine with it.
// (Sanitizers reserve far more address space, so they are left alone.)
#pragma once

#include <sys/resource.h>

namespace talvenor::test {

inline void LimitMemory() {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    rlimit limit{4ull << 30, 4ull << 30};
    setrlimit(RLIMIT_AS, &limit);
#endif
}

}  // namespace talvenor::test
