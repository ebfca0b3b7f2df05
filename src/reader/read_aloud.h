// Reading aloud as a sequence of utterances: the sentences of the chapter in
// view, one after the other, then the next chapter, until the book ends, the
// reader stops it or the sleep timer runs out.  No audio here: the front end
// gives the hooks to its engine and page and reports each utterance's end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "reader/sentences.h"

namespace talvenor {

// 定时关闭: off, after so many minutes, or at the end of the chapter.
enum class SleepMode { Off, Minutes15, Minutes30, Minutes60, ChapterEnd };
// The minutes of a mode (0 for Off and ChapterEnd).
int SleepMinutes(SleepMode mode);

class ReadAloud {
  public:
    enum class Ended { None, Stopped, BookEnd, Sleep, EngineFailed };

    struct Hooks {
        // Hands a sentence (UTF-8) to the engine; the utterance's id (> 0),
        // or 0 when the engine refused it.
        std::function<int(const std::string& text)> speak;
        // Silences the engine at once.
        std::function<void()> cancel;
        // The sentence being spoken (an index into the chapter's), -1 for none.
        std::function<void(int sentence)> highlight;
        // The chapter's last sentences are being spoken: the next chapter
        // may be fetched now.
        std::function<void()> prefetchNext;
        // Shows the next chapter; false at the book's end.  Its sentences
        // are handed over through ChapterShown, now or later.
        std::function<bool()> nextChapter;
        // Reading ended (see LastEnd()).
        std::function<void()> ended;
    };
    Hooks hooks;
    // Milliseconds from any fixed start (a fake clock in tests).
    std::function<long long()> clock;

    // How many sentences before a chapter's end the next one is asked for.
    static constexpr int kPrefetchAhead = 3;

    // Starts reading sentences from index `from`.
    void Start(std::vector<Sentence> sentences, int from = 0);
    // The chapter asked for by nextChapter is shown: reading goes on at its
    // first sentence.  A chapter with nothing to say is passed over.
    void ChapterShown(std::vector<Sentence> sentences);
    // The engine finished utterance id; an id that is not the one being
    // spoken (an utterance cancelled before) changes nothing.
    void UtteranceEnded(int id);
    // Space: pauses (the engine is silenced) or resumes at the start of the
    // sentence that was paused.
    void TogglePause();
    void Stop();
    // The sleep timer, counted from now.
    void SetSleep(SleepMode mode);
    SleepMode Sleep() const { return sleep_; }

    bool Active() const { return active_; }
    bool Paused() const { return paused_; }
    bool WaitingForChapter() const { return waiting_; }
    int Current() const { return current_; }
    const std::vector<Sentence>& Sentences() const { return sentences_; }
    Ended LastEnd() const { return lastEnd_; }
    // Chapters begun by the sequence itself since Start.
    int ChaptersAdvanced() const { return chapters_; }

  private:
    void SpeakCurrent();
    void Advance();
    void Finish(Ended why);
    long long Now() const { return clock ? clock() : 0; }

    std::vector<Sentence> sentences_;
    int current_ = -1;
    int utterance_ = 0;
    bool active_ = false;
    bool paused_ = false;
    bool waiting_ = false;
    bool prefetched_ = false;
    int chapters_ = 0;
    SleepMode sleep_ = SleepMode::Off;
    long long deadline_ = 0;
    Ended lastEnd_ = Ended::None;
};

}  // namespace talvenor
