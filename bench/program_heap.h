// The programs set the heap's policy when they start (KeepHeapForLongLists:
// freed memory is kept for the next long list instead of being taken fresh
// from the system, page fault by page fault).  The benchmarks of their
// downloads run with the same policy, before any benchmark allocates.
#pragma once

#include "catalogue/store.h"

namespace {
[[maybe_unused]] const bool kProgramHeap = (talvenor::KeepHeapForLongLists(), true);
}
