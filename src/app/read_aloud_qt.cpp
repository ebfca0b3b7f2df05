#include "app/read_aloud_qt.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "app/application_qt.h"
#include "app/reader_window.h"
#include "catalogue/program_state.h"
#include "catalogue/settings.h"
#include "catalogue/sites.h"
#include "net/http_client.h"
#include "platform/desktop_qt.h"
#include "platform/page_browser.h"
#include "platform/text_qt.h"
#include "reader/chapter_pages.h"
#include "reader/reader_form.h"
#include "speech/speech_engine.h"
#include "text/encoding.h"

namespace talvenor {

namespace {

// The program's own script in the page, in its world apart from the page's.
// It reads the page's text as the reader shows it (the footer after the last
// rule left out), finds the first character in view, and marks a sentence
// with boxes laid over its lines, leaving the page's own text untouched.
const char kPageScript[] = R"JS(
(function(){
if (window.talvenorSpeech) return;
var BLOCK = /^(BR|P|DIV|H[1-6]|TR|LI|TABLE|HR|CENTER|BLOCKQUOTE|PRE|UL|OL|DL|DT|DD)$/;
var S = {nodes: [], text: '', marks: [], cur: null};
S.collect = function() {
  var hrs = document.getElementsByTagName('hr');
  var last = hrs.length ? hrs[hrs.length - 1] : null;
  var nodes = [], text = '';
  function walk(n) {
    for (var c = n.firstChild; c; c = c.nextSibling) {
      if (c === last) return false;
      if (c.nodeType === 3) {
        nodes.push({n: c, s: text.length});
        text += c.data.replace(/[\r\n\t]/g, ' ');
      } else if (c.nodeType === 1) {
        var t = c.tagName;
        if (t === 'SCRIPT' || t === 'STYLE' || t === 'TITLE' || t === 'HEAD' || c.className === 'talvenor-speaking')
          continue;
        var block = BLOCK.test(t);
        if (block) text += '\n';
        if (walk(c) === false) return false;
        if (block && t !== 'BR') text += '\n';
      }
    }
    return true;
  }
  if (document.documentElement) walk(document.documentElement);
  S.nodes = nodes;
  S.text = text;
  return text;
};
S.range = function(b, e) {
  var ns = S.nodes, sn = null, so = 0, en = null, eo = 0;
  for (var i = 0; i < ns.length; i++) {
    var a = ns[i], len = a.n.data.length;
    if (!sn && a.s + len > b) { sn = a.n; so = Math.max(0, b - a.s); }
    if (a.s < e) { en = a.n; eo = Math.min(len, e - a.s); }
  }
  if (!sn || !en) return null;
  var r = document.createRange();
  r.setStart(sn, so);
  r.setEnd(en, eo);
  return r;
};
S.clear = function() {
  S.marks.forEach(function(m) { m.remove(); });
  S.marks = [];
  S.cur = null;
};
S.mark = function(b, e) {
  S.clear();
  var r = S.range(b, e);
  if (!r) return '';
  S.cur = r;
  var sx = window.scrollX, sy = window.scrollY, rects = r.getClientRects();
  for (var i = 0; i < rects.length; i++) {
    var q = rects[i];
    if (q.width < 1) continue;
    var d = document.createElement('div');
    d.className = 'talvenor-speaking';
    d.style.cssText = 'position:absolute;pointer-events:none;z-index:2147483646;' +
      'background:rgba(255,196,0,.4);mix-blend-mode:multiply;border-radius:2px;' +
      'left:' + (q.left + sx) + 'px;top:' + (q.top + sy) + 'px;width:' + q.width + 'px;height:' + q.height + 'px';
    document.documentElement.appendChild(d);
    S.marks.push(d);
  }
  var box = r.getBoundingClientRect(), h = window.innerHeight;
  if (box.top < 0 || box.bottom > h) window.scrollBy(0, box.top - h / 3);
  return r.toString();
};
S.current = function() { return S.cur ? S.cur.toString() : ''; };
S.firstInView = function() {
  var ns = S.nodes;
  for (var i = 0; i < ns.length; i++) {
    var n = ns[i].n, len = n.data.length;
    if (!len || !/\S/.test(n.data)) continue;
    var r = document.createRange();
    r.selectNodeContents(n);
    var q = r.getBoundingClientRect();
    if (q.bottom <= 0 || (q.width === 0 && q.height === 0)) continue;
    if (q.top >= 0) return ns[i].s;
    var lo = 0, hi = len - 1;
    while (lo < hi) {
      var m = (lo + hi) >> 1;
      r.setStart(n, m);
      r.setEnd(n, m + 1);
      if (r.getBoundingClientRect().bottom > 0) hi = m; else lo = m + 1;
    }
    return ns[i].s + lo;
  }
  return 0;
};
window.talvenorSpeech = S;
})();
)JS";

QString Script(const QString& call) {
    return QString::fromUtf8(kPageScript) + call;
}

const char* const kRateNames[] = {"很慢", "慢", "正常", "快", "很快"};
const char* const kPitchNames[] = {"很低", "低", "正常", "高", "很高"};

}  // namespace

ReadAloudQt::ReadAloudQt(ProgramState& program, TForm2& form, ReaderWindow& window, QtDesktop& desktop)
    : QObject(&window), program_(program), form_(form), window_(window), desktop_(desktop) {
    clock_.start();
    const talvenor::Settings file =
        talvenor::Settings::Load(program_.paths.setDir + talvenor::Settings::kFileName);
    const size_t before = file.Problems().size();
    settings_ = SpeechSettings::From(file);
    // Only the problems of this section's values: the file's others are
    // reported by those who read them.
    std::vector<std::string> problems = file.Problems();
    problems.erase(problems.begin(), problems.begin() + static_cast<long>(before));
    if (!problems.empty()) {
        std::string text;
        for (const std::string& p : problems) text += p + "\n";
        QTimer::singleShot(0, this, [this, text] { desktop_.Message(Utf8ToGbk(text)); });
    }
    reader_.SetSleep(settings_.sleep);
    reader_.clock = [this] { return clock_.elapsed(); };
    reader_.hooks.speak = [this](const std::string& text) {
        emit sentenceStarted(reader_.Current(), QString::fromStdString(text));
        return engine_ ? engine_->Speak(text) : 0;
    };
    reader_.hooks.cancel = [this] {
        if (engine_) engine_->Cancel();
    };
    reader_.hooks.highlight = [this](int i) { Highlight(i); };
    reader_.hooks.nextChapter = [this] { return NextChapter(); };
    reader_.hooks.prefetchNext = [this] {
        const int next = form_.ListBox1.itemIndex + 1;
        if (next > 0 && next < form_.PageUrlList.Count())
            prefetch_.Start(form_.PageUrlList.items[static_cast<size_t>(next)]);
    };
    form_.takePrefetched = [this](const std::string& url, std::string& page) {
        return prefetch_.Take(url, page);
    };
    reader_.hooks.ended = [this] {
        prefetch_.Cancel();
        window_.chimeOff = false;
        advancing_ = false;
        if (reader_.LastEnd() == ReadAloud::Ended::EngineFailed)
            desktop_.Message(G("朗读停止：语音引擎没有接受这一句"));
        desktop_.Changed();
        emit readingEnded();
    };

    window_.keyHook = [this](QKeyEvent* e) { return Key(e); };
    window_.extendMenu = [this](QMenu* m) { ExtendMenu(m); };
    form_.readerClosing = [this] { Stop(); };
}

ReadAloudQt::~ReadAloudQt() {
    form_.readerClosing = nullptr;
    form_.takePrefetched = nullptr;
    reader_.hooks = {};
    if (engine_) engine_->Close();
    if (voiceLister_.joinable()) voiceLister_.join();
}

bool ReadAloudQt::Key(QKeyEvent* event) {
    if (event->key() == Qt::Key_F6 && !event->isAutoRepeat()) {
        Toggle();
        return true;
    }
    if (event->key() == Qt::Key_Space && reader_.Active()) {
        if (!event->isAutoRepeat()) reader_.TogglePause();
        return true;
    }
    return false;
}

bool ReadAloudQt::OpenEngine() {
    if (engine_ && engine_->IsOpen()) return true;
    engine_ = std::make_unique<SpeechEngine>();
    const bool ok = engine_->Open([this](int id, SpeechEngine::Event e) {
        QMetaObject::invokeMethod(
            this,
            [this, id, e] {
                if (e == SpeechEngine::Event::Begin)
                    emit utteranceBegun();
                else
                    reader_.UtteranceEnded(id);
            },
            Qt::QueuedConnection);
    });
    if (!ok) {
        const std::string why = engine_->Problem();
        engine_.reset();
        desktop_.Message(G("朗读不可用：") + Utf8ToGbk(why));
        return false;
    }
    engine_->SetVoice(settings_.voice);
    engine_->SetRate(settings_.rate);
    engine_->SetPitch(settings_.pitch);
    return true;
}

PageBrowser* ReadAloudQt::Browser() {
    PageBrowser* b = window_.WebBrowser1();
    if (b && b != browser_) {
        browser_ = b;
        // After the browser's own handler of the same signal, which records
        // that the page has loaded.
        connect(b->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
            if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                PageLoaded(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
        });
    }
    return b;
}

bool ReadAloudQt::ReadPageSentences(std::vector<Sentence>& sentences, int& firstInView) {
    PageBrowser* b = Browser();
    if (!b || !b->HasDocument()) return false;
    const QVariantList v =
        b->Evaluate(Script(QStringLiteral("talvenorSpeech.collect();"
                                          "[talvenorSpeech.text, talvenorSpeech.firstInView()]")))
            .toList();
    if (v.size() != 2) return false;
    const std::u16string text = v[0].toString().toStdU16String();
    const std::u32string points = Utf16ToCodePoints(text);
    utf16At_.assign(points.size() + 1, 0);
    int at = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        utf16At_[i] = at;
        at += points[i] > 0xFFFF ? 2 : 1;
    }
    utf16At_[points.size()] = at;
    sentences = SplitSentences(points);
    pageText_ = points;
    const int first16 = v[1].toInt();
    firstInView = 0;
    while (firstInView < static_cast<int>(sentences.size()) &&
           utf16At_[sentences[static_cast<size_t>(firstInView)].end] <= first16)
        ++firstInView;
    return true;
}

void ReadAloudQt::Toggle() {
    if (reader_.Active()) {
        Stop();
        return;
    }
    std::vector<Sentence> sentences;
    int first = 0;
    PageBrowser* b = Browser();
    if (!b || !b->HasDocument()) return;  // no chapter shown: nothing to read
    if (!OpenEngine()) return;
    if (!ReadPageSentences(sentences, first)) return;
    if (!form_.ScrollStopped) form_.N16Click();
    window_.chimeOff = true;
    chapterShown_ = form_.ListBox1.itemIndex;
    book_ = form_.BookUrl;
    reader_.Start(std::move(sentences), first);
    desktop_.Changed();
}

void ReadAloudQt::Stop() {
    reader_.Stop();
}

void ReadAloudQt::Highlight(int index) {
    PageBrowser* b = Browser();
    if (!b) return;
    if (index >= 0 && !form_.ScrollStopped) form_.N16Click();
    const std::vector<Sentence>& s = reader_.Sentences();
    QString call = QStringLiteral("talvenorSpeech.clear();");
    if (index >= 0 && index < static_cast<int>(s.size())) {
        const Sentence& x = s[static_cast<size_t>(index)];
        if (x.end < utf16At_.size())
            call = QStringLiteral("talvenorSpeech.mark(%1,%2);").arg(utf16At_[x.begin]).arg(utf16At_[x.end]);
    }
    b->page()->runJavaScript(Script(call), QWebEngineScript::ApplicationWorld);
}

QString ReadAloudQt::MarkedText() {
    PageBrowser* b = Browser();
    if (!b || !b->HasDocument()) return QString();
    return b->Evaluate(Script(QStringLiteral("talvenorSpeech.current();"))).toString();
}

QString ReadAloudQt::SpokenText() const {
    const std::vector<Sentence>& s = reader_.Sentences();
    const int i = reader_.Current();
    if (!reader_.Active() || i < 0 || i >= static_cast<int>(s.size())) return QString();
    return QString::fromStdString(s[static_cast<size_t>(i)].text);
}

bool ReadAloudQt::NextChapter() {
    const int i = form_.ListBox1.itemIndex;
    if (i < 0 || i + 1 >= form_.ListBox1.Count()) return false;
    const unsigned long failures = FetchFailures().count;
    const unsigned long empty = ChaptersWithoutText();
    advancing_ = true;
    RunHandler(desktop_, [this] { form_.goOnClick(form_.BtnNext); });
    if (!reader_.Active()) return true;  // stopped meanwhile
    if (form_.ListBox1.itemIndex != i + 1 || FetchFailures().count != failures ||
        ChaptersWithoutText() != empty) {
        // The chapter could not be shown (its message was given): reading stops.
        advancing_ = false;
        reader_.Stop();
        return true;
    }
    return true;
}

void ReadAloudQt::PageLoaded(bool ok) {
    if (!reader_.Active()) return;
    PageBrowser* b = Browser();
    const bool chapterPage = ok && b && b->url().isLocalFile();
    std::vector<Sentence> sentences;
    int first = 0;
    const std::u32string before = pageText_;
    if (!chapterPage || !ReadPageSentences(sentences, first)) {
        if (b && b->url().scheme() == QLatin1String("about")) reader_.Stop();
        return;
    }
    if (form_.BookUrl != book_) {
        // Another book was opened: what was read is over.
        reader_.Stop();
        return;
    }
    const int chapter = form_.ListBox1.itemIndex;
    if (advancing_) {
        advancing_ = false;
        chapterShown_ = chapter;
        reader_.ChapterShown(std::move(sentences));
        return;
    }
    // The reader changed the chapter (or showed it anew): reading goes on
    // with the page now shown, from its start, or for the same chapter from
    // the sentence it had reached.
    if (chapter == chapterShown_ && pageText_ == before) {
        // The same page loaded once more: only its mark is new.
        if (!reader_.WaitingForChapter()) Highlight(reader_.Current());
        return;
    }
    const int from = chapter == chapterShown_ ? reader_.Current() : 0;
    chapterShown_ = chapter;
    const bool paused = reader_.Paused();
    reader_.Start(std::move(sentences), from);
    if (paused) reader_.TogglePause();
}

void ReadAloudQt::SaveSettings() {
    const std::string path = program_.paths.setDir + talvenor::Settings::kFileName;
    talvenor::Settings file = talvenor::Settings::Load(path);
    settings_.StoreIn(file);
    RunHandler(desktop_, [&] { file.Save(path); });
}

void ReadAloudQt::SetVoice(const std::string& voice) {
    settings_.voice = voice;
    if (engine_) engine_->SetVoice(voice);
    SaveSettings();
}

void ReadAloudQt::SetRate(int step) {
    settings_.rate = step;
    if (engine_) engine_->SetRate(step);
    SaveSettings();
}

void ReadAloudQt::SetPitch(int step) {
    settings_.pitch = step;
    if (engine_) engine_->SetPitch(step);
    SaveSettings();
}

void ReadAloudQt::SetSleep(SleepMode mode) {
    settings_.sleep = mode;
    reader_.SetSleep(mode);
    SaveSettings();
}

void ReadAloudQt::ListVoices() {
    if (voiceLister_.joinable()) return;
    voiceLister_ = std::thread([this] {
        std::vector<std::string> voices = SpeechEngine::ListVoices();
        std::lock_guard<std::mutex> lock(voicesMutex_);
        voices_ = std::move(voices);
        voicesListed_ = true;
    });
}

void ReadAloudQt::ExtendMenu(QMenu* menu) {
    menu->addSeparator();
    QAction* toggle = menu->addAction(Q(G(reader_.Active() ? "停止朗读" : "朗读")));
    toggle->setObjectName(QStringLiteral("ReadAloud"));
    connect(toggle, &QAction::triggered, this, [this] { Toggle(); });

    QMenu* sub = menu->addMenu(Q(G("朗读设置")));
    sub->setObjectName(QStringLiteral("ReadAloudMenu"));
    sub->menuAction()->setObjectName(QStringLiteral("ReadAloudMenu"));

    auto group = [&](QMenu* parent, const char* title, const char* name) {
        QMenu* m = parent->addMenu(Q(G(title)));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto choice = [this](QMenu* m, const QString& caption, const QString& name, bool checked,
                         std::function<void()> run) {
        QAction* a = m->addAction(caption);
        a->setObjectName(name);
        a->setCheckable(true);
        a->setChecked(checked);
        connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    };

    QMenu* voice = group(sub, "语音", "ReadAloudVoice");
    choice(voice, Q(G("默认（普通话）")), QStringLiteral("voice-default"), settings_.voice.empty(),
           [this] { SetVoice(""); });
    std::vector<std::string> voices;
    bool listed;
    {
        std::lock_guard<std::mutex> lock(voicesMutex_);
        voices = voices_;
        listed = voicesListed_;
    }
    if (!listed) {
        ListVoices();
        QAction* wait = voice->addAction(Q(G("（正在读取语音列表……）")));
        wait->setEnabled(false);
    }
    for (const std::string& v : voices)
        choice(voice, QString::fromStdString(v), QStringLiteral("voice-") + QString::fromStdString(v),
               v == settings_.voice, [this, v] { SetVoice(v); });

    QMenu* rate = group(sub, "语速", "ReadAloudRate");
    QMenu* pitch = group(sub, "音调", "ReadAloudPitch");
    for (int step = kSpeechStepMin; step <= kSpeechStepMax; ++step) {
        const size_t k = static_cast<size_t>(step - kSpeechStepMin);
        choice(rate, Q(G(kRateNames[k])), QStringLiteral("rate%1").arg(step), settings_.rate == step,
               [this, step] { SetRate(step); });
        choice(pitch, Q(G(kPitchNames[k])), QStringLiteral("pitch%1").arg(step), settings_.pitch == step,
               [this, step] { SetPitch(step); });
    }

    QMenu* sleep = group(sub, "定时关闭", "ReadAloudSleep");
    const std::pair<SleepMode, const char*> modes[] = {{SleepMode::Off, "不关闭"},
                                                       {SleepMode::Minutes15, "15 分钟"},
                                                       {SleepMode::Minutes30, "30 分钟"},
                                                       {SleepMode::Minutes60, "60 分钟"},
                                                       {SleepMode::ChapterEnd, "读完本章"}};
    for (const auto& [mode, caption] : modes)
        choice(sleep, Q(G(caption)), QStringLiteral("sleep-") + QString::fromStdString(SleepName(mode)),
               settings_.sleep == mode, [this, mode = mode] { SetSleep(mode); });
}

}  // namespace talvenor
