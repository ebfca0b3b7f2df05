// Walks over a page that is still arriving.
//
// A download hands its body over in pieces of any size, cut anywhere (inside
// a marker, inside a double-byte character).  A walk cuts its items out of
// what has arrived so far and stops at the first item that needs bytes not
// yet here; it resumes from that item once the next piece is in.  When the
// page is complete it ends exactly as a walk of the whole page would.
//
// Three parts:
//  - GrowingText: FindMarker and CutBetween on the bytes so far.  A marker
//    found in a prefix lies at the same place in the whole page, so such an
//    answer is final; a marker not found yet throws NeedMoreBytes until the
//    page is complete, and only then means "missing".
//  - ListEnd: an end marker that a walk compares its positions with.  Until
//    it has arrived the walk goes on as if the list did not end before the
//    position in question, and marks the item as taken on that assumption.
//  - PieceWalk: runs a walk item by item from a saved cursor, undoes an item
//    cut short by the end of the bytes, keeps a checkpoint for each item
//    taken on an assumption and goes back to the first one the end marker
//    turns out to contradict.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/markers.h"

namespace talvenor {

// Thrown by a walk step that needs bytes that have not arrived.
struct NeedMoreBytes {};

class GrowingText {
public:
    void Append(const char* data, size_t n) { text_.append(data, n); }
    void Append(const std::string& s) { text_ += s; }
    void Reserve(size_t bytes) { text_.reserve(bytes); }
    void Complete() { complete_ = true; }
    void Reset() {
        text_.clear();
        complete_ = false;
    }
    bool complete() const { return complete_; }
    const std::string& text() const { return text_; }
    int size() const { return static_cast<int>(text_.size()); }

    // FindMarker.  A marker not found in an incomplete text: NeedMoreBytes.
    int Find(const std::string& marker, int from) const {
        const int at = FindMarker(marker, text_, from);
        if (at < 0 && !complete_) throw NeedMoreBytes();
        return at;
    }
    // FindMarker on the bytes so far, -1 when not (yet) there.
    int FindSoFar(const std::string& marker, int from) const { return FindMarker(marker, text_, from); }
    // CutBetween, waiting for both markers.
    std::string Cut(const std::string& start, const std::string& end, int& pos,
                    int* contentStart = nullptr) const;

private:
    std::string text_;
    bool complete_ = false;
};

// Where a list ends: the first occurrence of a marker at or after a position
// (First), or just past the last one (Last: occurrences counted one after the
// other, from the position; none leaves the end at the position itself).
class ListEnd {
public:
    enum Kind { First, Last };
    ListEnd() = default;
    ListEnd(Kind kind, std::string marker, int from);

    // Looks at the bytes arrived since the last call.
    void Update(const GrowingText& text);
    // The end is final: its marker found (First) or the page complete.
    bool known() const { return known_; }
    int at() const { return at_; }
    // pos lies before the end however the page goes on.
    bool SurelyBefore(int pos) const { return known_ ? pos < at_ : pos < surelyPast_; }

private:
    Kind kind_ = First;
    std::string marker_;
    int next_ = 0;  // where the next occurrence may begin
    int scanned_ = 0;  // no occurrence begins in [next_, scanned_)
    bool known_ = false;
    int at_ = -1;
    int surelyPast_ = -1;  // positions below it lie before the end for sure
};

// The walk a PieceWalk runs.  Its Cursor is a small copyable value holding
// all of the walk's position, how far its output is filled included:
//
//   struct MyWalk {
//       using Cursor = ...;
//       Cursor Save() const;             // where the walk stands
//       void Restore(const Cursor& c);   // back there, output cut back too
//       bool Next(PieceWalkStep& step);  // one item; false when the walk ended
//   };
class PieceWalkStep {
public:
    PieceWalkStep(const GrowingText& text, ListEnd& end) : text_(text), end_(end) {}
    const GrowingText& text() const { return text_; }
    // Sets where the list ends (once the walk knows where to look for it).
    void SetEnd(const ListEnd& end) {
        end_ = end;
        end_.Update(text_);
    }
    const ListEnd& end() const { return end_; }
    // pos < the list's end.  When the end has not arrived the answer is yes,
    // and the item is taken on that assumption.
    bool Before(int pos) {
        if (end_.known()) return pos < end_.at();
        if (end_.SurelyBefore(pos)) return true;
        assumed_ = true;
        assumedPos_ = pos;
        return true;
    }
    bool assumed() const { return assumed_; }
    int assumedPos() const { return assumedPos_; }

private:
    const GrowingText& text_;
    ListEnd& end_;
    bool assumed_ = false;
    int assumedPos_ = 0;
};

template <typename Walk>
class PieceWalk {
public:
    using Cursor = typename Walk::Cursor;

    explicit PieceWalk(Walk& walk) : walk_(walk) {}

    GrowingText& text() { return text_; }
    const GrowingText& text() const { return text_; }
    ListEnd& end() { return end_; }
    bool done() const { return done_; }
    // Room for a page of this size and this many items.
    void Reserve(size_t bytes, size_t items) {
        text_.Reserve(bytes);
        checkpoints_.reserve(items);
    }

    // Takes every item the bytes so far allow.  Call after each Append, and
    // once after Complete: the walk then runs to its end.
    void Resume() {
        end_.Update(text_);
        Revise();
        while (!done_) {
            const Cursor before = walk_.Save();
            PieceWalkStep step(text_, end_);
            bool more = false;
            try {
                more = walk_.Next(step);
            } catch (const NeedMoreBytes&) {
                walk_.Restore(before);
                return;
            }
            if (step.assumed()) checkpoints_.push_back({before, step.assumedPos()});
            if (!more) done_ = true;
        }
    }

    // Back to the start, for the same walk on other bytes.
    void Reset() {
        text_.Reset();
        end_ = ListEnd();
        checkpoints_.clear();
        first_ = 0;
        done_ = false;
    }

private:
    struct Checkpoint {
        Cursor before;
        int pos;
    };

    // Items taken on an assumption that the end has now confirmed are kept;
    // at the first it contradicts the walk goes back to that item, which is
    // then taken (or not) knowing where the list ends.
    void Revise() {
        while (first_ < checkpoints_.size()) {
            const Checkpoint& c = checkpoints_[first_];
            if (end_.SurelyBefore(c.pos)) {
                ++first_;
                continue;
            }
            if (end_.known()) {
                const Cursor back = c.before;
                walk_.Restore(back);
                done_ = false;
                checkpoints_.clear();
                first_ = 0;
            }
            break;
        }
        if (first_ == checkpoints_.size()) {
            checkpoints_.clear();
            first_ = 0;
        }
    }

    Walk& walk_;
    GrowingText text_;
    ListEnd end_;
    std::vector<Checkpoint> checkpoints_;
    size_t first_ = 0;
    bool done_ = false;
};

}  // namespace talvenor
