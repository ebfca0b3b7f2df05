// The lists of the windows as plain models: a visible list of names and its
// hidden partner of URLs or keys, matched by index, each with a selection,
// a tag and a hint.  The windows draw them; the core changes them, always
// on the main thread.
#pragma once

#include <string>
#include <vector>

namespace talvenor {

struct ListModel {
    std::vector<std::string> items;
    int itemIndex = -1;  // selected entry, -1 for none
    int tag = 0;
    bool visible = true;
    std::string hint;

    int Count() const { return static_cast<int>(items.size()); }
    bool Empty() const { return items.empty(); }
    void Clear() {
        items.clear();
        itemIndex = -1;
    }
    void Add(std::string s) { items.push_back(std::move(s)); }
    // Inserting at or past the end appends; a selection behind the insertion
    // point moves with its entry.
    void Insert(int index, std::string s) {
        if (index < 0) index = 0;
        if (index > Count()) index = Count();
        items.insert(items.begin() + index, std::move(s));
        if (itemIndex >= index) ++itemIndex;
    }
    void Delete(int index) {
        if (index < 0 || index >= Count()) return;
        items.erase(items.begin() + index);
        if (itemIndex == index)
            itemIndex = -1;
        else if (itemIndex > index)
            --itemIndex;
    }
    // Selecting an index outside the list selects nothing.
    void Select(int index) { itemIndex = index >= 0 && index < Count() ? index : -1; }
    const std::string& Selected() const { return items.at(static_cast<size_t>(itemIndex)); }
    void Assign(std::vector<std::string> lines) {
        items = std::move(lines);
        itemIndex = -1;
    }
};

// The progress bar of the progress window.
struct ProgressModel {
    int min = 0;
    int max = 100;
    int position = 0;
    int step = 1;
    // A maximum below the minimum (a scraper's end marker missing) leaves
    // an empty bar rather than an impossible one.
    void SetMax(int m) {
        max = m < min ? min : m;
        if (position > max) position = max;
    }
    // Advances by n, stopping at the maximum (and at the minimum).
    void StepBy(int n) {
        long long p = static_cast<long long>(position) + n;
        if (p > max) p = max;
        if (p < min) p = min;
        position = static_cast<int>(p);
    }
    void StepIt() { StepBy(step); }
};

}  // namespace talvenor
