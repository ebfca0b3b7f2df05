// The lists of the windows as plain models: a visible list of names and its
// hidden partner of URLs or keys, matched by index, each with a selection,
// a tag and a hint.  The windows draw them; the core changes them, always
// on the main thread.
//
// items and itemIndex are read freely but changed only through the methods,
// which tell a view exactly which rows changed: a view of 100 000 books
// inserts one row for one new book instead of reading the list again.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace talvenor {

struct ListChange {
    enum Kind {
        kReset,     // the whole list was replaced or emptied
        kInserted,  // count rows inserted at first
        kRemoved,   // count rows removed at first
        kChanged,   // count rows from first hold new text
        kSelected,  // the selection moved (itemIndex)
    };
    Kind kind = kReset;
    int first = 0;
    int count = 0;
};

struct ListModel {
    std::vector<std::string> items;
    int itemIndex = -1;  // selected entry, -1 for none
    int tag = 0;
    bool visible = true;
    std::string hint;
    // Text a view shows after an entry (GBK; empty for none), such as the
    // watch list's count of new chapters.  Not part of items.
    std::function<std::string(int row)> decoration;

    // Counts every change of items or selection.
    std::uint64_t revision = 0;
    // Set by the view that shows the list; run on the main thread.
    std::function<void(const ListChange&)> onChange;

    int Count() const { return static_cast<int>(items.size()); }
    bool Empty() const { return items.empty(); }
    void Clear() {
        items.clear();
        itemIndex = -1;
        Notify({ListChange::kReset, 0, 0});
    }
    void Add(std::string s) {
        items.push_back(std::move(s));
        Notify({ListChange::kInserted, Count() - 1, 1});
    }
    // Inserting at or past the end appends; a selection behind the insertion
    // point moves with its entry.
    void Insert(int index, std::string s) {
        if (index < 0) index = 0;
        if (index > Count()) index = Count();
        items.insert(items.begin() + index, std::move(s));
        Notify({ListChange::kInserted, index, 1});
        if (itemIndex >= index) MoveSelection(itemIndex + 1);
    }
    // Inserts a run of entries at index in one step, in their order.
    void InsertMany(int index, std::vector<std::string> run) {
        if (run.empty()) return;
        if (index < 0) index = 0;
        if (index > Count()) index = Count();
        const int n = static_cast<int>(run.size());
        items.insert(items.begin() + index, std::make_move_iterator(run.begin()),
                     std::make_move_iterator(run.end()));
        Notify({ListChange::kInserted, index, n});
        if (itemIndex >= index) MoveSelection(itemIndex + n);
    }
    void Delete(int index) {
        if (index < 0 || index >= Count()) return;
        items.erase(items.begin() + index);
        Notify({ListChange::kRemoved, index, 1});
        if (itemIndex == index)
            MoveSelection(-1);
        else if (itemIndex > index)
            MoveSelection(itemIndex - 1);
    }
    // Replaces the text of one entry; an index outside the list does nothing.
    void Set(int index, std::string s) {
        if (index < 0 || index >= Count()) return;
        items[static_cast<size_t>(index)] = std::move(s);
        Notify({ListChange::kChanged, index, 1});
    }
    // Selecting an index outside the list selects nothing.
    void Select(int index) {
        itemIndex = index >= 0 && index < Count() ? index : -1;
        Notify({ListChange::kSelected, itemIndex, 0});
    }
    // Every row shows anew (its decoration changed).
    void Redraw() {
        if (!items.empty()) Notify({ListChange::kChanged, 0, Count()});
    }
    const std::string& Selected() const { return items.at(static_cast<size_t>(itemIndex)); }
    void Assign(std::vector<std::string> lines) {
        items = std::move(lines);
        itemIndex = -1;
        Notify({ListChange::kReset, 0, 0});
    }

  private:
    // The selected entry moved with its row.
    void MoveSelection(int index) {
        itemIndex = index;
        Notify({ListChange::kSelected, itemIndex, 0});
    }
    void Notify(const ListChange& change) {
        ++revision;
        if (onChange) onChange(change);
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
