// speak: reads a chapter aloud through the desktop's speech engine, printing
// each sentence as it is spoken.
#include <algorithm>
#include <iostream>

#include "catalogue/settings.h"
#include "cli/commands.h"
#include "net/http_client.h"
#include "reader/chapter_pages.h"
#include "reader/chapter_prefetch.h"
#include "reader/read_aloud.h"
#include "reader/reader_form.h"
#include "speech/speech_engine.h"
#include "speech/speech_settings.h"
#include "text/encoding.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

bool IsCount(const std::string& s) {
    return !s.empty() && s.size() < 9 && s.find_first_not_of("0123456789") == std::string::npos;
}

// A step from -2 to 2.
bool ParseStep(const std::string& s, int& step) {
    if (s != "-2" && s != "-1" && s != "0" && s != "1" && s != "2" && s != "+1" && s != "+2") return false;
    step = std::stoi(s);
    return true;
}

// Terminal text of a sentence: no control characters.
std::string Printable(const std::string& utf8) {
    std::string out;
    for (char c : utf8) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    return out;
}

}  // namespace

int SpeakCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "speak SITE KEY N [--to M] [--voice V] [--rate R] [--pitch P] [--no-save]";
    std::vector<std::string> rest = args, pos;
    ReadingOptions options;
    if (!TakeReadingOptions(rest, options) || !options.saveMark.empty()) return Usage(usage);
    const Settings stored = Settings::Load(ctx.paths.setDir + Settings::kFileName);
    SpeechSettings speech = SpeechSettings::From(stored);
    for (const std::string& p : stored.Problems()) std::cerr << "talvenor-cli: " << p << "\n";
    int last = -1;
    for (size_t i = 0; i < rest.size(); ++i) {
        const bool value = i + 1 < rest.size();
        if (rest[i] == "--voice" && value && !rest[i + 1].empty())
            speech.voice = rest[++i];
        else if (rest[i] == "--rate" && value && ParseStep(rest[i + 1], speech.rate))
            ++i;
        else if (rest[i] == "--pitch" && value && ParseStep(rest[i + 1], speech.pitch))
            ++i;
        else if (rest[i] == "--to" && value && IsCount(rest[i + 1]))
            last = std::stoi(rest[++i]);
        else
            pos.push_back(rest[i]);
    }
    if (pos.size() != 3 || !IsCount(pos[2])) return Usage(usage);
    const std::string label = SiteArg(pos[0]);
    if (label.empty()) return Usage(usage);
    const int first = std::stoi(pos[2]);
    if (last < first) last = first;

    // The engine first: without one nothing is fetched.
    Program& p = ctx.Start();
    CliDesktop& desktop = *ctx.desktop;
    ReadAloud reader;
    SpeechEngine engine;
    if (!engine.Open([&desktop, &reader](int id, SpeechEngine::Event e) {
            if (e == SpeechEngine::Event::Begin) return;
            desktop.Post([&reader, id] { reader.UtteranceEnded(id); });
        })) {
        std::cerr << "talvenor-cli: no speech: " << engine.Problem() << "\n";
        return kExitFailed;
    }
    if (!speech.voice.empty()) {
        const std::vector<std::string> voices = SpeechEngine::ListVoices();
        if (std::find(voices.begin(), voices.end(), speech.voice) == voices.end()) {
            std::cerr << "talvenor-cli: no such Chinese voice: " << speech.voice << "; the voices are:\n";
            for (const std::string& v : voices) std::cerr << "  " << v << "\n";
            return kExitUsage;
        }
        engine.SetVoice(speech.voice);
    }
    engine.SetRate(speech.rate);
    engine.SetPitch(speech.pitch);

    TForm2& f2 = *p.form2;
    int rc = OpenBookWithChapters(ctx, label, In(pos[1]), "");
    if (rc != kExitOk) return rc;
    if (first >= f2.ListBox1.Count()) {
        std::cerr << "talvenor-cli: the book has " << f2.ListBox1.Count() << " entries\n";
        return kExitNotFound;
    }
    // Shows chapter i as a click on it does (the mark follows); its sentences,
    // or the exit code of a chapter that could not be shown.
    auto show = [&](int i, std::vector<Sentence>& sentences) {
        RemoveFile(f2.PagePath());
        const ChapterCounts before = ChapterCounts::Now();
        f2.ListBox1.Select(i);
        f2.ListBox1Click();
        const FetchFailureRecord failures = FetchFailures();
        if (gInterrupted) return int(kExitInterrupted);
        if (failures.count != before.fetchFailures || !FileExists(f2.PagePath()) ||
            ChaptersWithoutText() != before.withoutText) {
            std::cerr << "talvenor-cli: chapter " << i << " could not be fetched\n";
            return int(kExitFailed);
        }
        std::cout << "# " << Field(f2.SelectedTitle()) << "\n" << std::flush;
        sentences = SplitSentences(PageSpeechText(ReadFileBytes(f2.PagePath())));
        return int(kExitOk);
    };
    std::vector<Sentence> sentences;
    if ((rc = show(first, sentences)) != kExitOk) return rc;

    int chapter = first;
    reader.hooks.speak = [&](const std::string& text) {
        std::cout << Printable(text) << "\n" << std::flush;
        return engine.Speak(text);
    };
    reader.hooks.cancel = [&] { engine.Cancel(); };
    ChapterPrefetch prefetch;
    reader.hooks.prefetchNext = [&] {
        if (chapter < last && chapter + 1 < f2.ListBox1.Count())
            prefetch.Start(f2.PageUrlList.items[static_cast<size_t>(chapter + 1)]);
    };
    f2.takePrefetched = [&](const std::string& url, std::string& page) { return prefetch.Take(url, page); };
    struct Unhook {
        TForm2& f;
        ~Unhook() { f.takePrefetched = nullptr; }
    } unhook{f2};
    reader.hooks.nextChapter = [&] {
        if (chapter >= last || chapter + 1 >= f2.ListBox1.Count()) return false;
        std::vector<Sentence> next;
        if ((rc = show(++chapter, next)) != kExitOk) {
            reader.Stop();
            return false;
        }
        reader.ChapterShown(std::move(next));
        return true;
    };
    reader.Start(std::move(sentences));
    desktop.RunUntil([&] { return !reader.Active() || gInterrupted; });
    if (gInterrupted) {
        reader.Stop();
        engine.Close();
        return kExitInterrupted;
    }
    engine.Close();
    if (reader.LastEnd() == ReadAloud::Ended::EngineFailed) {
        std::cerr << "talvenor-cli: the speech engine refused a sentence\n";
        return kExitFailed;
    }
    if (rc != kExitOk) return rc;
    CloseReader(ctx, options);
    return kExitOk;
}

}  // namespace talvenor::cli
