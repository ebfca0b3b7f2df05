// The reading sequence over an engine that reports each utterance's end when
// the test says so, with a clock the test moves.
#include "reader/read_aloud.h"

#include <gtest/gtest.h>

#include "catalogue/settings.h"
#include "speech/speech_settings.h"
#include "text/files.h"

using namespace talvenor;

namespace {

std::vector<Sentence> Chapter(const std::string& name, int count) {
    std::vector<Sentence> s;
    for (int i = 0; i < count; ++i) s.push_back({0, 0, name + std::to_string(i)});
    return s;
}

// A book of chapters; the engine remembers what it was given.
struct Harness {
    ReadAloud r;
    std::vector<std::vector<Sentence>> book;
    int chapter = 0;
    std::vector<std::string> said;
    std::vector<int> highlights;
    int lastId = 0;
    int cancels = 0;
    int prefetches = 0;
    int endedCalls = 0;
    long long now = 0;
    bool deferChapters = false;  // the next chapter arrives when the test says
    bool refuse = false;

    Harness() {
        r.clock = [this] { return now; };
        r.hooks.speak = [this](const std::string& t) {
            if (refuse) return 0;
            said.push_back(t);
            return ++lastId;
        };
        r.hooks.cancel = [this] { ++cancels; };
        r.hooks.highlight = [this](int i) { highlights.push_back(i); };
        r.hooks.prefetchNext = [this] { ++prefetches; };
        r.hooks.nextChapter = [this] {
            if (chapter + 1 >= static_cast<int>(book.size())) return false;
            ++chapter;
            if (!deferChapters) r.ChapterShown(book[static_cast<size_t>(chapter)]);
            return true;
        };
        r.hooks.ended = [this] { ++endedCalls; };
    }
    void Start(int from = 0) { r.Start(book[static_cast<size_t>(chapter)], from); }
    // The engine finishes what it is saying.
    void Finish() { r.UtteranceEnded(lastId); }
};

}  // namespace

TEST(ReadAloud, ReadsOnThroughTheBookAndStopsAtItsEnd) {
    Harness h;
    h.book = {Chapter("a", 5), Chapter("b", 2), Chapter("c", 1)};
    h.Start(1);
    EXPECT_EQ(h.said, (std::vector<std::string>{"a1"}));
    for (int i = 0; i < 20 && h.r.Active(); ++i) h.Finish();
    EXPECT_EQ(h.said, (std::vector<std::string>{"a1", "a2", "a3", "a4", "b0", "b1", "c0"}));
    EXPECT_FALSE(h.r.Active());
    EXPECT_EQ(h.r.LastEnd(), ReadAloud::Ended::BookEnd);
    EXPECT_EQ(h.endedCalls, 1);
    EXPECT_EQ(h.r.ChaptersAdvanced(), 2);
    // Asked once a chapter, in time: a (5 sentences) at a2, b and c at once.
    EXPECT_EQ(h.prefetches, 3);
    EXPECT_EQ(h.highlights.back(), -1);
}

TEST(ReadAloud, WaitsForASlowChapterAndPassesOverOneWithNothingToSay) {
    Harness h;
    h.book = {Chapter("a", 1), {}, Chapter("c", 2)};
    h.deferChapters = true;
    h.Start();
    h.Finish();
    EXPECT_TRUE(h.r.WaitingForChapter());
    EXPECT_EQ(h.said.size(), 1u);
    // A late end of the last utterance changes nothing while waiting.
    h.Finish();
    h.r.ChapterShown(h.book[1]);  // empty: the next one is asked for
    EXPECT_EQ(h.chapter, 2);
    h.r.ChapterShown(h.book[2]);
    EXPECT_EQ(h.said, (std::vector<std::string>{"a0", "c0"}));
    EXPECT_EQ(h.highlights.back(), 0);
}

TEST(ReadAloud, StopSilencesAtOnceAndLateEndsAreIgnored) {
    Harness h;
    h.book = {Chapter("a", 4)};
    h.Start();
    const int id = h.lastId;
    h.r.Stop();
    EXPECT_FALSE(h.r.Active());
    EXPECT_GE(h.cancels, 1);
    EXPECT_EQ(h.r.LastEnd(), ReadAloud::Ended::Stopped);
    h.r.UtteranceEnded(id);  // the engine's report of the cancelled sentence
    EXPECT_EQ(h.said.size(), 1u);
    h.r.Stop();  // stopping twice reports once
    EXPECT_EQ(h.endedCalls, 1);
}

TEST(ReadAloud, PauseCancelsAndResumeSaysTheSentenceAgain) {
    Harness h;
    h.book = {Chapter("a", 3)};
    h.Start();
    h.Finish();  // a1 now
    const int paused = h.lastId;
    h.r.TogglePause();
    EXPECT_TRUE(h.r.Paused());
    EXPECT_EQ(h.cancels, 1);
    h.r.UtteranceEnded(paused);  // the cancelled utterance's end moves nothing
    EXPECT_EQ(h.said.back(), "a1");
    h.r.TogglePause();
    EXPECT_EQ(h.said, (std::vector<std::string>{"a0", "a1", "a1"}));
    h.Finish();
    EXPECT_EQ(h.said.back(), "a2");
}

TEST(ReadAloud, SleepTimerEndsReadingAfterTheSentenceWhenTimeIsUp) {
    Harness h;
    h.book = {Chapter("a", 100)};
    h.r.SetSleep(SleepMode::Minutes15);
    h.Start();
    h.now = 14 * 60000;
    h.Finish();
    EXPECT_TRUE(h.r.Active());
    h.now = 15 * 60000;
    h.Finish();
    EXPECT_FALSE(h.r.Active());
    EXPECT_EQ(h.r.LastEnd(), ReadAloud::Ended::Sleep);
    EXPECT_EQ(h.said.size(), 2u);

    // Counted from the start of reading, not from when it was chosen.
    h.now = 100 * 60000;
    h.Start();
    h.now += 14 * 60000;
    h.Finish();
    EXPECT_TRUE(h.r.Active());
}

TEST(ReadAloud, SleepAtChapterEndStopsBeforeTheNextChapter) {
    Harness h;
    h.book = {Chapter("a", 2), Chapter("b", 2)};
    h.r.SetSleep(SleepMode::ChapterEnd);
    h.Start();
    h.Finish();
    h.Finish();
    EXPECT_FALSE(h.r.Active());
    EXPECT_EQ(h.chapter, 0);
    EXPECT_EQ(h.r.LastEnd(), ReadAloud::Ended::Sleep);
}

TEST(ReadAloud, AnEngineThatRefusesEndsReading) {
    Harness h;
    h.book = {Chapter("a", 2)};
    h.refuse = true;
    h.Start();
    EXPECT_FALSE(h.r.Active());
    EXPECT_EQ(h.r.LastEnd(), ReadAloud::Ended::EngineFailed);
    EXPECT_EQ(h.endedCalls, 1);
}

TEST(ReadAloud, StartingAnewWhileReadingSilencesWithoutEnding) {
    // The reader turned to another chapter: reading goes on there.
    Harness h;
    h.book = {Chapter("a", 3), Chapter("b", 3)};
    h.Start();
    const int old = h.lastId;
    h.r.Start(h.book[1], 0);
    EXPECT_EQ(h.cancels, 1);
    EXPECT_EQ(h.endedCalls, 0);
    EXPECT_TRUE(h.r.Active());
    h.r.UtteranceEnded(old);  // the silenced sentence's end moves nothing
    EXPECT_EQ(h.said, (std::vector<std::string>{"a0", "b0"}));
    h.Finish();
    EXPECT_EQ(h.said.back(), "b1");
}

TEST(ReadAloud, StartingPastTheEndGoesToTheNextChapter) {
    Harness h;
    h.book = {Chapter("a", 2), Chapter("b", 1)};
    h.Start(5);
    EXPECT_EQ(h.said, (std::vector<std::string>{"b0"}));
}

TEST(SpeechSettings, BadValuesAreReportedWithTheirLineAndDefaultsUsed) {
    const std::string path = ::testing::TempDir() + "speech-settings.ini";
    WriteFileAtomic(path,
                    "# mine\n[speech]\nvoice = Chinese (Cantonese)\nrate = 7\npitch = -2\nsleep = 45\n");
    Settings file = Settings::Load(path);
    SpeechSettings s = SpeechSettings::From(file);
    EXPECT_EQ(s.voice, "Chinese (Cantonese)");
    EXPECT_EQ(s.rate, 0);
    EXPECT_EQ(s.pitch, -2);
    EXPECT_EQ(s.sleep, SleepMode::Off);
    const std::vector<std::string> problems = file.Problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find(":4:"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find(":6:"), std::string::npos) << problems[1];

    // Stored and read back; the user's comment stays.
    s.rate = 2;
    s.sleep = SleepMode::ChapterEnd;
    s.StoreIn(file);
    file.Save(path);
    const Settings again = Settings::Load(path);
    const SpeechSettings back = SpeechSettings::From(again);
    EXPECT_EQ(back.rate, 2);
    EXPECT_EQ(back.pitch, -2);
    EXPECT_EQ(back.sleep, SleepMode::ChapterEnd);
    EXPECT_TRUE(again.Problems().empty());
    EXPECT_EQ(ReadFileBytes(path).rfind("# mine\n", 0), 0u);
}
