#include "reader/read_aloud.h"

namespace talvenor {

int SleepMinutes(SleepMode mode) {
    switch (mode) {
        case SleepMode::Minutes15:
            return 15;
        case SleepMode::Minutes30:
            return 30;
        case SleepMode::Minutes60:
            return 60;
        default:
            return 0;
    }
}

void ReadAloud::Start(std::vector<Sentence> sentences, int from) {
    // Starting anew while reading is no end of reading: the sentence under
    // way is only silenced.
    if (active_ && hooks.cancel) hooks.cancel();
    sentences_ = std::move(sentences);
    active_ = true;
    paused_ = false;
    waiting_ = false;
    prefetched_ = false;
    chapters_ = 0;
    lastEnd_ = Ended::None;
    if (sleep_ != SleepMode::Off && sleep_ != SleepMode::ChapterEnd)
        deadline_ = Now() + SleepMinutes(sleep_) * 60000LL;
    current_ = from < 0 ? 0 : from;
    if (current_ >= static_cast<int>(sentences_.size())) {
        Advance();
        return;
    }
    SpeakCurrent();
}

void ReadAloud::SpeakCurrent() {
    if (hooks.highlight) hooks.highlight(current_);
    const int count = static_cast<int>(sentences_.size());
    if (!prefetched_ && current_ >= count - kPrefetchAhead) {
        prefetched_ = true;
        if (hooks.prefetchNext) hooks.prefetchNext();
    }
    utterance_ = hooks.speak ? hooks.speak(sentences_[static_cast<size_t>(current_)].text) : 0;
    if (utterance_ <= 0) Finish(Ended::EngineFailed);
}

void ReadAloud::UtteranceEnded(int id) {
    if (!active_ || paused_ || waiting_ || id != utterance_) return;
    utterance_ = 0;
    if (sleep_ != SleepMode::Off && sleep_ != SleepMode::ChapterEnd && Now() >= deadline_) {
        Finish(Ended::Sleep);
        return;
    }
    ++current_;
    if (current_ < static_cast<int>(sentences_.size())) {
        SpeakCurrent();
        return;
    }
    if (sleep_ == SleepMode::ChapterEnd) {
        Finish(Ended::Sleep);
        return;
    }
    Advance();
}

void ReadAloud::Advance() {
    waiting_ = true;
    if (hooks.highlight) hooks.highlight(-1);
    // The hook may hand the chapter over before it returns.
    const int before = chapters_;
    const bool more = hooks.nextChapter && hooks.nextChapter();
    if (!active_) return;
    if (!more && chapters_ == before) Finish(Ended::BookEnd);
}

void ReadAloud::ChapterShown(std::vector<Sentence> sentences) {
    if (!active_ || !waiting_) return;
    waiting_ = false;
    ++chapters_;
    sentences_ = std::move(sentences);
    prefetched_ = false;
    current_ = 0;
    if (sentences_.empty()) {
        // Nothing to say (a picture chapter): on to the next; the book's end
        // ends the walk.
        Advance();
        return;
    }
    if (paused_) return;
    SpeakCurrent();
}

void ReadAloud::TogglePause() {
    if (!active_) return;
    if (!paused_) {
        paused_ = true;
        utterance_ = 0;
        if (hooks.cancel) hooks.cancel();
        return;
    }
    paused_ = false;
    if (!waiting_ && current_ >= 0 && current_ < static_cast<int>(sentences_.size())) SpeakCurrent();
}

void ReadAloud::Stop() {
    if (active_) Finish(Ended::Stopped);
}

void ReadAloud::Finish(Ended why) {
    const bool was = active_;
    active_ = false;
    paused_ = false;
    waiting_ = false;
    utterance_ = 0;
    lastEnd_ = why;
    if (hooks.cancel) hooks.cancel();
    if (hooks.highlight) hooks.highlight(-1);
    if (was && hooks.ended) hooks.ended();
}

void ReadAloud::SetSleep(SleepMode mode) {
    sleep_ = mode;
    deadline_ = Now() + SleepMinutes(mode) * 60000LL;
}

}  // namespace talvenor
