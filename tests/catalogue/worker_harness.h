// The download worker against the bundled demo sites: a program in a fresh
// home whose sites point at a demo server on a free loopback port, with the
// worker started the way the update button and the reader start it.
//
// PageServer (tests/support/page_server.h) serves the malformed layouts the
// demo sites never produce, so that the tests can see every walk end.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "demo_sites.h"
#include "net/http_client.h"
#include "net/site_hosts.h"
#include "support/hold_bound.h"
#include "support/memory_limit.h"
#include "support/page_server.h"
#include "support/program_fixture.h"
#include "text/encoding.h"

class WorkerHarness : public ProgramFixture {
  public:
    talvenor::demo::DemoSites sites;

    explicit WorkerHarness(talvenor::demo::DemoOptions options = {}) : sites(AnyPort(options)) {
        talvenor::test::LimitMemory();
        if (!sites.Start()) throw std::runtime_error("the demo sites did not start");
        talvenor::SetHosts(sites.hosts());
        Start();
    }
    ~WorkerHarness() {
        // The program's clients go before the server, so that it need not
        // wait for their kept-alive connections.
        if (program) program->StopAllWorkers();
        program.reset();
    }
    talvenor::demo::DemoContent& content() { return sites.content(); }

    // As the update button does: catalogue hidden, progress window shown.
    // True when a completion operation ran in time.
    bool RunBookList(talvenor::Site site, const std::string& url, const std::string& name) {
        using namespace talvenor;
        f1().CurrentSite = Label(site);
        MakeDirs(SiteFolder(paths.appDir, Label(site)));
        program->TrayWindow = kTrayNone;
        f1().window.visible = false;
        f4().Show();
        f4().Tag = 1;
        auto worker = program->StartWorker(program->IdHTTP1.Get(), &f1().ListBox2, &f1().BookURLList, 9,
                                           &f4().ProgressBar1, url, name, paths.appDir, &f2().Memo1);
        return Wait(*worker);
    }
    void ClearBooks() {
        f1().ListBox2.Clear();
        f1().BookURLList.Clear();
    }

    enum class End { Ready, Failed };
    // The reader's selection and the files in tmp/ besides the reader's own
    // page when the chapter-list worker handed over.
    struct {
        int selected = -1;
        int tmpFiles = 0;
    } atReady;
    // As the reader's LoadBook does, with a client of the worker's own.
    // openChapter: the reader opens the selected chapter as it does (false:
    // the list alone, for a benchmark of the list).
    End RunChapterList(talvenor::Site site, const std::string& key, const std::string& name, bool openChapter = true) {
        using namespace talvenor;
        f1().CurrentSite = Label(site);
        f1().window.visible = false;
        f2().window.visible = false;
        program->TrayWindow = kTrayProgress;
        f4().Show();
        f4().Tag = 0;
        MakeDirs(paths.tmpDir);
        auto worker = program->StartWorker(std::make_shared<HttpClient>(HttpSettings::RunTime()),
                                           &f2().ListBox1, &f2().PageUrlList, ChapterListModeOf(Label(site)),
                                           &f4().ProgressBar1, key, name, paths.appDir, &f2().Memo1,
                                           [this, openChapter] {
                                               // What the worker left, before the reader shows the chapter.
                                               atReady.selected = f2().ListBox1.itemIndex;
                                               atReady.tmpFiles = CountFiles(paths.tmpDir);
                                               if (openChapter)
                                                   f2().ChapterListReady();
                                               else
                                                   f2().ChapterListTaken();
                                           });
        Wait(*worker);
        return program->TrayWindow == kTrayReader ? End::Ready : End::Failed;
    }

    // A fault on one path of one demo host ("duowan.localhost").
    int Fault(const std::string& host, const std::string& match, talvenor::demo::FaultKind kind,
              int value = 0) {
        talvenor::demo::Fault f;
        f.host = host;
        f.match = match;
        f.kind = kind;
        f.value = value;
        return sites.AddFault(f);
    }
    // Requests that reached a demo host whose target contains `part`.
    int Requests(const std::string& part) const {
        int n = 0;
        for (const auto& line : sites.RequestLog())
            if (line.find(part) != std::string::npos) ++n;
        return n;
    }

  private:
    static int CountFiles(const std::string& dir) {
        std::error_code ec;
        int n = 0;
        for (auto it = std::filesystem::directory_iterator(dir, ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
            if (it->path().filename() != "tmp.htm") ++n;
        return n;
    }
    // Every download here takes milliseconds.  One that has not ended
    // within the bound fails its test and is stopped, with every fetch; a
    // walk going round for ever on the worker thread, which no stop can
    // reach, keeps adding to its lists until the memory limit ends it.
    bool Wait(talvenor::TDownloadBar& worker) {
        if (desktop.PumpUntil([&] { return worker.Stopped(); }, std::chrono::seconds(60))) return true;
        ADD_FAILURE() << "the download did not end";
        worker.Stop();
        talvenor::StopAllFetches();
        desktop.PumpUntil([&] { return worker.Finished(); }, std::chrono::hours(24));
        talvenor::ResumeFetches();
        return false;
    }
    static talvenor::demo::DemoOptions AnyPort(talvenor::demo::DemoOptions options) {
        options.port = 0;
        return options;
    }
};

// Read time-outs of ten minutes for the clients a program creates while
// this lives: a page that is held then ends only as the test says.
class LongReadTimeOuts {
  public:
    LongReadTimeOuts() : saved_(talvenor::CurrentFetchLimits()) {
        talvenor::FetchLimits l = saved_;
        l.configuredReadTimeoutMs = l.runTimeReadTimeoutMs = 600000;
        talvenor::SetFetchLimits(l);
    }
    ~LongReadTimeOuts() { talvenor::SetFetchLimits(saved_); }

  private:
    talvenor::FetchLimits saved_;
};

// UTF-8 text of the demo content as the program holds it.
inline std::string Gbk(const std::string& utf8) {
    return talvenor::Utf8ToGbk(utf8);
}
