#include "catalogue/title_search.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "text/encoding.h"

namespace talvenor {

namespace {

// Below this many titles a search is quicker than starting a thread.
constexpr size_t kTitlesPerPart = 65536;
constexpr unsigned kMaxParts = 8;

// Runs part(first, last) over [0, n) in consecutive ranges, the first on
// the calling thread and each other on a thread of its own.
void InParts(size_t n, const std::function<void(size_t part, size_t first, size_t last)>& part,
             size_t& parts) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    parts = std::max<size_t>(1, std::min<size_t>({cores, kMaxParts, n / kTitlesPerPart}));
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    const size_t size = (n + parts - 1) / parts;
    for (size_t p = 1; p < parts; ++p)
        threads.emplace_back(part, p, std::min(n, p * size), std::min(n, (p + 1) * size));
    part(0, 0, std::min(n, size));
    for (std::thread& t : threads) t.join();
}

bool HoldsAll(const std::u16string& title, const std::vector<std::u16string>& keywords) {
    for (const auto& k : keywords)
        if (k.empty() || title.find(k) == std::u16string::npos) return false;
    return true;
}

}  // namespace

std::vector<int> TitlesWithAll(const std::vector<std::string>& titles,
                               const std::vector<std::u16string>& keywords) {
    std::vector<std::vector<int>> found(kMaxParts);
    size_t parts = 1;
    InParts(
        titles.size(),
        [&](size_t p, size_t first, size_t last) {
            std::u16string title;  // one buffer for every title of the part
            for (size_t i = first; i < last; ++i) {
                GbkToUtf16(titles[i], title);
                if (HoldsAll(title, keywords)) found[p].push_back(static_cast<int>(i));
            }
        },
        parts);
    std::vector<int> all = std::move(found[0]);
    for (size_t p = 1; p < parts; ++p) all.insert(all.end(), found[p].begin(), found[p].end());
    return all;
}

int FirstTitleWith(const std::vector<std::string>& titles, const std::u16string& text) {
    if (text.empty()) return -1;
    // The lowest index found so far: a part past it stops.
    std::atomic<size_t> best{SIZE_MAX};
    size_t parts = 1;
    InParts(
        titles.size(),
        [&](size_t, size_t first, size_t last) {
            std::u16string title;
            for (size_t i = first; i < last; ++i) {
                if ((i & 1023) == 0 && best.load(std::memory_order_relaxed) < first) return;
                GbkToUtf16(titles[i], title);
                if (title.find(text) == std::u16string::npos) continue;
                size_t seen = best.load();
                while (i < seen && !best.compare_exchange_weak(seen, i)) {
                }
                return;
            }
        },
        parts);
    return best.load() == SIZE_MAX ? -1 : static_cast<int>(best.load());
}

}  // namespace talvenor
