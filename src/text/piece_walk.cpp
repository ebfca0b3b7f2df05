#include "text/piece_walk.h"

#include <algorithm>
#include <utility>

namespace talvenor {

std::string GrowingText::Cut(const std::string& start, const std::string& end, int& pos, int* contentStart) const {
    // CutBetween, with each marker waited for: a missing one means missing
    // only in the complete page.
    const int s = Find(start, pos);
    const int content = s + static_cast<int>(start.size());
    const int e = Find(end, content);
    pos = e;
    if (contentStart) *contentStart = content;
    const int n = size();
    const int from = content < 0 ? 0 : content;
    const int to = e > n ? n : e;
    if (to <= from) return std::string();
    return text_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

ListEnd::ListEnd(Kind kind, std::string marker, int from)
    : kind_(kind), marker_(std::move(marker)), next_(from < 0 ? 0 : from), scanned_(next_), surelyPast_(from) {}

void ListEnd::Update(const GrowingText& text) {
    if (known_) return;
    const int m = static_cast<int>(marker_.size());
    for (;;) {
        const int e = text.FindSoFar(marker_, std::max(next_, scanned_));
        if (e < 0) break;
        if (kind_ == First) {
            known_ = true;
            at_ = e;
            return;
        }
        surelyPast_ = e + m;
        next_ = e + m;
        scanned_ = next_;
    }
    // Nothing begins before the last m - 1 bytes; a marker can still end
    // in the bytes to come from there on.
    scanned_ = std::max(scanned_, text.size() - m + 1);
    if (text.complete()) {
        known_ = true;
        at_ = kind_ == First ? -1 : surelyPast_;
    }
}

}  // namespace talvenor
