// Reading aloud in the reader window, through the real engine: speech-
// dispatcher and espeak-ng speak into a null sink (started by
// tests/speech/read_aloud_window.sh) whose monitor this test records and
// measures with sox; the sentence marked in the page is read back from the
// real page by the program's own script.
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>

#include "app/read_aloud_qt.h"
#include "app/reader_window.h"
#include "gui_fixture.h"
#include "platform/page_browser.h"

using namespace talvenor;
namespace demo = talvenor::demo;

namespace {

// The null sink's monitor, recorded into a WAV file (16 kHz, mono, 16 bit).
class Recording {
  public:
    explicit Recording(const QString& path) : path_(path) {
        parec_.start(
            QStringLiteral("parec"),
            {QStringLiteral("-d"), QStringLiteral("nul.monitor"), QStringLiteral("--file-format=wav"),
             QStringLiteral("--rate=16000"), QStringLiteral("--channels=1"), path});
        started_ = parec_.waitForStarted() && WaitFor([&] { return QFileInfo(path_).size() > 44; });
    }
    ~Recording() { Stop(); }
    bool Started() const { return started_; }
    double Seconds() const { return (QFileInfo(path_).size() - 44) / 32000.0; }
    // Waits until the sink has played this far (the recorder writes as it plays).
    bool Reach(double seconds) {
        return WaitFor([&] { return Seconds() >= seconds; }, 30000);
    }
    void Stop() {
        if (parec_.state() == QProcess::NotRunning) return;
        parec_.terminate();
        parec_.waitForFinished();
    }
    // RMS amplitude of a part (sox).
    double Rms(double from, double length) const {
        QProcess sox;
        sox.start(QStringLiteral("sox"),
                  {path_, QStringLiteral("-n"), QStringLiteral("trim"), QString::number(from),
                   QString::number(length), QStringLiteral("stat")});
        sox.waitForFinished();
        for (const QString& line : QString::fromUtf8(sox.readAllStandardError()).split('\n'))
            if (line.startsWith(QLatin1String("RMS     amplitude:")))
                return line.section(':', 1).trimmed().toDouble();
        return -1;
    }

  private:
    QString path_;
    QProcess parec_;
    bool started_ = false;
};

QString Squeezed(QString s) {
    return s.remove(QRegularExpression(QStringLiteral("\\s")));
}

class ReadAloudTest : public GuiTest {
  protected:
    ReaderWindow& rw() { return windows->reader(); }
    ReadAloudQt& aloud() { return *rw().readAloud; }
    PageBrowser& browser() { return *rw().WebBrowser1(); }
    QString Js(const QString& script) { return browser().Evaluate(script).toString(); }

    void OpenBook() {
        QListView* books = cat().Panel5->ListBox2;
        cat().N2->trigger();
        UpdateCategory(1);
        DoubleClickRow(books, 0);
        ASSERT_TRUE(WaitFor([&] { return windows->readerMade() && rw().isVisible(); }));
        ASSERT_TRUE(WaitPage());
    }
    bool WaitPage() {
        return WaitFor([&] {
            PageBrowser* b = rw().WebBrowser1();
            return b && b->ReadyState() == 4 && !f2().PageTurnBusy;
        });
    }
    QMenu* Popup() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                rw().Panel2->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(rw().Panel2, &event);
        return rw().OpenPopupMenu();
    }
    // The marked sentence lies in the page's view.
    bool MarkInView() {
        return browser()
            .Evaluate(QStringLiteral(
                "(function(){var m=document.querySelector('.talvenor-speaking');if(!m)return false;"
                "var r=m.getBoundingClientRect();return r.top>=0&&r.bottom<=innerHeight;})()"))
            .toBool();
    }
};

}  // namespace

TEST_F(ReadAloudTest, ReadsSentenceBySentenceIntoTheNextChapterPausesAndStops) {
    Start();
    OpenBook();
    const QString shot = qEnvironmentVariable("TALVENOR_READ_ALOUD_SHOT");
    ASSERT_EQ(CurrentRow(rw().ListBox1), 0);
    Recording rec(home.dir().c_str() + QStringLiteral("speech.wav"));
    ASSERT_TRUE(rec.Started()) << "parec could not record the null sink";

    // The settings chosen in the 朗读设置 menu are kept in set/talvenor.ini.
    QMenu* menu = Popup();
    ASSERT_TRUE(menu);
    QAction* toggle = menu->findChild<QAction*>(QStringLiteral("ReadAloud"));
    ASSERT_TRUE(toggle);
    EXPECT_EQ(toggle->text(), U("朗读"));
    QAction* fast = menu->findChild<QAction*>(QStringLiteral("rate2"));
    ASSERT_TRUE(fast);
    menu->close();
    fast->trigger();
    const std::string ini = ReadFileBytes(paths.setDir + "talvenor.ini");
    EXPECT_NE(ini.find("[speech]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("rate = 2"), std::string::npos) << ini;
    EXPECT_EQ(aloud().Settings().rate, 2);

    // Auto-scroll on, then F6 near the chapter's end: reading starts at the
    // first sentence in view, scrolling stops, and no chime sounds.
    // A small window and large text: the chapter runs past the view.
    rw().setWindowState(Qt::WindowNoState);
    rw().resize(900, 420);
    f2().SetTextZoom(4);
    ASSERT_TRUE(WaitFor([&] {
        return browser().Evaluate(QStringLiteral("document.body.scrollHeight > innerHeight")).toBool();
    }));
    f2().N16Click();
    ASSERT_FALSE(f2().ScrollStopped);
    browser().Evaluate(QStringLiteral("window.scrollTo(0, document.body.scrollHeight)"));
    const bool scrolled = browser().Evaluate(QStringLiteral("window.scrollY")).toInt() > 0;
    QSignalSpy started(&aloud(), &ReadAloudQt::sentenceStarted);
    QSignalSpy begun(&aloud(), &ReadAloudQt::utteranceBegun);
    const double f6At = rec.Seconds();
    QTest::keyClick(rw().ListBox1, Qt::Key_F6);
    ASSERT_TRUE(aloud().Reading());
    EXPECT_TRUE(f2().ScrollStopped);
    EXPECT_TRUE(rw().chimeOff);
    ASSERT_GE(started.count(), 1);
    const int firstIndex = started.at(0).at(0).toInt();
    if (scrolled) {
        EXPECT_GT(firstIndex, 0) << "reading began at the top, not at the first sentence in view";
    }
    ASSERT_TRUE(WaitFor([&] { return begun.count() >= 1; }, 20000));
    // The page marks the sentence spoken, in view.
    ASSERT_TRUE(WaitFor([&] { return !aloud().MarkedText().isEmpty(); }));
    EXPECT_EQ(Squeezed(aloud().MarkedText()), Squeezed(aloud().SpokenText()));
    EXPECT_TRUE(MarkInView());
    if (!shot.isEmpty()) rw().grab().save(shot);

    // At the chapter's end the next chapter is shown and read from its start.
    ASSERT_TRUE(WaitFor(
        [&] {
            const ReadAloud& r = aloud().Sequence();
            return r.ChaptersAdvanced() == 1 && !r.WaitingForChapter() && r.Current() >= 1;
        },
        120000));
    EXPECT_EQ(CurrentRow(rw().ListBox1), 1);
    ASSERT_TRUE(aloud().Reading());
    EXPECT_EQ(aloud().Sequence().ChaptersAdvanced(), 1);
    ASSERT_TRUE(WaitFor([&] { return Squeezed(aloud().MarkedText()) == Squeezed(aloud().SpokenText()); }));
    EXPECT_TRUE(browser().url() == QUrl::fromLocalFile(rw().PagePath()));
    // Sentences went to the engine in order, and the second chapter's began
    // with its heading.
    int last = -1;
    bool newChapter = false;
    for (const QList<QVariant>& args : started) {
        const int i = args.at(0).toInt();
        if (i < last) {
            EXPECT_FALSE(newChapter) << "went back twice";
            EXPECT_EQ(i, 0);
            EXPECT_TRUE(args.at(1).toString().contains(
                U(talvenor::GbkToUtf8(f2().ListBox1.items[1])).section(' ', -1)));
            newChapter = true;
        }
        last = i;
    }
    EXPECT_TRUE(newChapter);

    // Space pauses (the sentence is cancelled) and resumes at its start.
    const int at = aloud().Sequence().Current();
    const int before = started.count();
    QTest::keyClick(rw().ListBox1, Qt::Key_Space);
    EXPECT_TRUE(aloud().Paused());
    QTest::keyClick(rw().ListBox1, Qt::Key_Space);
    EXPECT_FALSE(aloud().Paused());
    ASSERT_EQ(started.count(), before + 1);
    EXPECT_EQ(started.last().at(0).toInt(), at);

    // There was sound while reading; F6 stops it at once and silence follows.
    ASSERT_TRUE(rec.Reach(f6At + 1.0));
    const double stopAt = rec.Seconds();
    QTest::keyClick(rw().ListBox1, Qt::Key_F6);
    EXPECT_FALSE(aloud().Reading());
    EXPECT_FALSE(rw().chimeOff);
    EXPECT_TRUE(WaitFor([&] { return aloud().MarkedText().isEmpty(); }));
    ASSERT_TRUE(rec.Reach(stopAt + 1.6));
    rec.Stop();
    const double speaking = rec.Rms(f6At, stopAt - f6At);
    const double after = rec.Rms(stopAt + 0.5, 1.0);
    EXPECT_GT(speaking, 0.01) << "no sound while reading";
    EXPECT_LT(after, 0.002) << "sound after stop";

    // Closing the reader keeps chapter 2 as the last reading (上次阅读).
    QTest::keyClick(rw().ListBox1, Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return !rw().isVisible(); }));
    const std::string position = ReadFileBytes(paths.setDir + "default.3");
    EXPECT_EQ(position.substr(0, position.find('\r')), "1");
}

TEST_F(ReadAloudTest, WithoutAnEngineTheReaderSaysSoOnceAndNothingElseChanges) {
    // An address where no speech-dispatcher can be: the engine cannot be reached.
    qputenv("SPEECHD_ADDRESS", "unix_socket:" + QByteArray(home.dir().c_str()) + "no-speechd.sock");
    Start();
    OpenBook();
    const QString page = browser().Evaluate(QStringLiteral("document.body.innerHTML")).toString();
    const size_t seen = modal.seen.size();
    modal.Ok();
    QTest::keyClick(rw().ListBox1, Qt::Key_F6);
    ASSERT_TRUE(modal.WaitSeen(seen + 1));
    qunsetenv("SPEECHD_ADDRESS");
    EXPECT_TRUE(modal.seen.at(seen).text.startsWith(U("朗读不可用")))
        << modal.seen.at(seen).text.toStdString();
    EXPECT_EQ(modal.seen.size(), seen + 1);
    EXPECT_FALSE(aloud().Reading());
    EXPECT_EQ(CurrentRow(rw().ListBox1), 0);
    EXPECT_EQ(browser().Evaluate(QStringLiteral("document.body.innerHTML")).toString(), page);
    // Space still does what it did: it is not taken while nothing is read.
    EXPECT_FALSE(aloud().Paused());
}
