#include "catalogue/book_list_pages.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "catalogue/site_rules.h"

namespace talvenor {

namespace {

std::vector<std::string> KeysOf(const std::vector<ListedBook>& books) {
    std::vector<std::string> keys;
    keys.reserve(books.size());
    for (const auto& b : books) keys.push_back(b.key);
    return keys;
}

}  // namespace

bool WalkCap::Reached(size_t books, bool wantsNext) {
    ++pages_;
    books_ += books;
    return books_ > limits_.books || (wantsNext && pages_ >= limits_.pages);
}

bool KeysDiffer(const std::vector<std::string>& newKeys, const std::vector<std::string>& storedKeys) {
    // An open-addressed table of indices, at most half full: a category of a
    // million books is checked without a memory allocation per key.
    const size_t total = newKeys.size() + storedKeys.size();
    size_t size = 16;
    while (size < 2 * total) size *= 2;
    const size_t mask = size - 1;
    std::vector<uint32_t> slots(size, 0);  // 1 + index of a key; 0: free
    auto keyAt = [&](uint32_t slot) -> const std::string& {
        const size_t i = slot - 1;
        return i < newKeys.size() ? newKeys[i] : storedKeys[i - newKeys.size()];
    };
    for (size_t i = 0; i < total; ++i) {
        const std::string& key = i < newKeys.size() ? newKeys[i] : storedKeys[i - newKeys.size()];
        if (key.empty()) continue;
        size_t at = std::hash<std::string_view>()(key) & mask;
        for (; slots[at] != 0; at = (at + 1) & mask)
            if (keyAt(slots[at]) == key) return false;
        slots[at] = static_cast<uint32_t>(i + 1);
    }
    return true;
}

void KeepFirstOfEachKey(std::vector<std::string>& titles, std::vector<std::string>& keys) {
    std::unordered_set<std::string> seen;
    seen.reserve(keys.size());
    size_t kept = 0;
    for (size_t i = 0; i < keys.size() && i < titles.size(); ++i) {
        if (!keys[i].empty() && !seen.insert(keys[i]).second) continue;
        if (kept != i) {
            titles[kept] = std::move(titles[i]);
            keys[kept] = std::move(keys[i]);
        }
        ++kept;
    }
    titles.resize(kept);
    keys.resize(kept);
}

bool RepeatedPageStop::Repeats(const std::vector<ListedBook>& books) {
    std::vector<std::string> keys = KeysOf(books);
    const bool same = !keys.empty() && keys == lastKeys_;
    lastKeys_ = std::move(keys);
    return same;
}

namespace {

// The books of a list page, and how the walk goes on.
template <typename Page>
Page Books(const char* site, const std::string& page, const rules::Inputs& in, rules::Output* raw = nullptr) {
    // 多玩's list pages come decoded already.
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::BookList, page, in, nullptr, true);
    Page result;
    auto& titles = out.lists[0];
    auto& keys = out.lists[1];
    auto& intros = out.lists[2];
    result.books.reserve(titles.size());
    for (size_t i = 0; i < titles.size() && i < keys.size(); ++i)
        result.books.push_back(
            {std::move(titles[i]), std::move(keys[i]), i < intros.size() ? std::move(intros[i]) : std::string()});
    const auto& step = out.outs[0];
    result.step = !step ? PageStep::Broken
                  : *step == rules::kNext ? PageStep::Next
                  : *step == rules::kEnd  ? PageStep::End
                                          : PageStep::Broken;
    if (raw) *raw = std::move(out);
    return result;
}

}  // namespace

DuowanListPage CutDuowanListPage(const std::string& page, const std::string& known, int next,
                                 size_t keyHead) {
    rules::Inputs in;
    in.known = known;
    in.next = next;
    in.keyHead = static_cast<long long>(keyHead);
    rules::Output out;
    DuowanListPage result = Books<DuowanListPage>("duowan", page, in, &out);
    result.metKnown = out.outs[3].value_or(0) != 0;
    return result;
}

ReadnovelListPage CutReadnovelListPage(const std::string& page, const std::string& known, int n, int total) {
    rules::Inputs in;
    in.known = known;
    in.n = n;
    in.total = total;
    rules::Output out;
    ReadnovelListPage result = Books<ReadnovelListPage>("readnovel", page, in, &out);
    result.metKnown = out.outs[3].value_or(0) != 0;
    result.total = static_cast<int>(out.outs[1].value_or(total));
    return result;
}

Xs8ListPage CutXs8ListPage(const std::string& page, int n) {
    rules::Inputs in;
    in.n = n;
    return Books<Xs8ListPage>("xs8", page, in);
}

FeikuListPage CutFeikuListPage(const std::string& page, int n) {
    rules::Inputs in;
    in.n = n;
    rules::Output out;
    FeikuListPage result = Books<FeikuListPage>("feiku", page, in, &out);
    result.count = static_cast<int>(out.outs[2].value_or(-1));
    return result;
}

}  // namespace talvenor
