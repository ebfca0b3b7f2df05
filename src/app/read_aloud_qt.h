// Reading aloud in the reader window: F6 and 朗读 / 停止朗读 start at the
// first sentence in view or stop, Space pauses and resumes, the sentence
// spoken is marked in the page and kept in view, and at a chapter's end the
// next chapter is shown and read.  The 朗读 submenu sets the voice, speed,
// pitch and the sleep timer, kept in set/talvenor.ini.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reader/chapter_prefetch.h"
#include "reader/read_aloud.h"
#include "speech/speech_settings.h"

class QKeyEvent;
class QMenu;

namespace talvenor {

struct ProgramState;
class PageBrowser;
class QtDesktop;
class ReaderWindow;
class SpeechEngine;
class TForm2;

class ReadAloudQt : public QObject {
    Q_OBJECT
  public:
    ReadAloudQt(ProgramState& program, TForm2& form, ReaderWindow& window, QtDesktop& desktop);
    ~ReadAloudQt() override;

    // F6, 朗读 / 停止朗读.
    void Toggle();
    void Stop();
    bool Reading() const { return reader_.Active(); }
    bool Paused() const { return reader_.Paused(); }
    const ReadAloud& Sequence() const { return reader_; }
    const SpeechSettings& Settings() const { return settings_; }
    // The sentence marked in the page, read back from the page itself
    // (empty when none is marked).
    QString MarkedText();
    // The sentence being spoken, as the engine was given it.
    QString SpokenText() const;

    void SetVoice(const std::string& voice);
    void SetRate(int step);
    void SetPitch(int step);
    void SetSleep(SleepMode mode);

  signals:
    // A sentence was handed to the engine (index in the chapter's sentences).
    void sentenceStarted(int index, const QString& text);
    // The engine has begun to speak an utterance.
    void utteranceBegun();
    void readingEnded();

  private:
    bool Key(QKeyEvent* event);
    void ExtendMenu(QMenu* menu);
    bool OpenEngine();
    PageBrowser* Browser();
    // The page's text and the first sentence in view; false without a page.
    bool ReadPageSentences(std::vector<Sentence>& sentences, int& firstInView);
    void PageLoaded(bool ok);
    void Highlight(int index);
    bool NextChapter();
    void SaveSettings();
    void ListVoices();

    ProgramState& program_;
    TForm2& form_;
    ReaderWindow& window_;
    QtDesktop& desktop_;
    std::unique_ptr<SpeechEngine> engine_;
    ReadAloud reader_;
    ChapterPrefetch prefetch_;
    SpeechSettings settings_;
    QPointer<PageBrowser> browser_;
    // UTF-16 positions of the code points of the page's text (one more than
    // there are code points), for marking sentences in the page.
    std::vector<int> utf16At_;
    std::u32string pageText_;  // the text those sentences came from
    bool advancing_ = false;   // the sequence asked for the next chapter
    int chapterShown_ = -1;    // the chapter whose sentences are being read
    std::string book_;         // the book being read (its address)
    QElapsedTimer clock_;
    std::thread voiceLister_;
    std::mutex voicesMutex_;
    std::vector<std::string> voices_;
    bool voicesListed_ = false;
};

}  // namespace talvenor
