// talvenor-demosites: serves the demo of the five novel sites until it is
// interrupted.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "demo_sites.h"

using namespace talvenor;
using namespace talvenor::demo;

namespace {

void PrintHelp() {
    SiteHosts h = SiteHosts::Demo(SiteHosts::kDemoPort);
    std::cout << "Usage: talvenor-demosites [options]\n"
                 "Serves the demo of the five novel sites on 127.0.0.1, told apart by host name:\n"
                 "  "
              << h.duowan << "  多玩 (UTF-8), search on " << h.duowanSearch << "\n  " << h.readnovel
              << "  小说阅读网, searched through " << h.searchEngine << "\n  " << h.xs8
              << "  言情小说吧, forum " << h.xs8Forum << "\n  " << h.feiku << "  飞库, search on "
              << h.feikuSearch << "\n  " << h.s520 << "  小说520, chapters on " << h.s520Chapters << "\n  "
              << "http://qingdeng.localhost:" << SiteHosts::kDemoPort
              << "  青灯书屋 (UTF-8), a site added by its rule file docs/sites/qingdeng.toml\n  " << h.counter
              << "  page counter\n"
                 "(shown for the default port; *.localhost names resolve to the loopback address)\n\n"
                 "Options:\n"
                 "  --port N          port to listen on (default 18630; 0 = any free port)\n"
                 "  --categories N    categories of 多玩 and 飞库 (default 6)\n"
                 "  --books N         books per category (default 60)\n"
                 "  --chapters N      chapters per book (default 30)\n"
                 "  --xs8-books N     books of 言情小说吧's site-wide list (default 150)\n"
                 "  --page-size N     books per list page (default 20)\n"
                 "  --log             print every request (host and target) as it arrives\n"
                 "  --fault RULE      switch a fault on (repeatable):\n"
              << FaultUsage() << "  --help            show this text\n";
}

bool ReadInt(const char* text, int min, int* out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!end || *end || v < min || v > 100000000) return false;
    *out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    std::vector<Fault> faults;
    bool logRequests = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        }
        if (arg == "--log") {
            logRequests = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::cerr << "talvenor-demosites: " << arg << " needs a value (see --help)\n";
            return 2;
        }
        const char* value = argv[++i];
        bool ok = true;
        if (arg == "--port")
            ok = ReadInt(value, 0, &options.port) && options.port < 65536;
        else if (arg == "--categories")
            ok = ReadInt(value, 1, &options.categories);
        else if (arg == "--books")
            ok = ReadInt(value, 0, &options.booksPerCategory);
        else if (arg == "--chapters")
            ok = ReadInt(value, 1, &options.chaptersPerBook);
        else if (arg == "--xs8-books")
            ok = ReadInt(value, 0, &options.xs8Books);
        else if (arg == "--page-size")
            ok = ReadInt(value, 1, &options.pageSize);
        else if (arg == "--fault") {
            Fault f;
            std::string error;
            if (!ParseFault(value, &f, &error)) {
                std::cerr << "talvenor-demosites: bad --fault \"" << value << "\": " << error << "\n";
                return 2;
            }
            faults.push_back(f);
        } else {
            std::cerr << "talvenor-demosites: unknown option " << arg << " (see --help)\n";
            return 2;
        }
        if (!ok) {
            std::cerr << "talvenor-demosites: bad value for " << arg << ": " << value << "\n";
            return 2;
        }
    }

    // Block the stop signals before the server starts its threads, so that
    // only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    DemoSites sites(options);
    for (const auto& f : faults) sites.AddFault(f);
    if (logRequests)
        sites.SetRequestObserver([](const std::string& request) {
            static std::mutex mutex;
            std::lock_guard<std::mutex> lock(mutex);
            std::printf("%s\n", request.c_str());
            std::fflush(stdout);
        });
    if (!sites.Start()) {
        std::cerr << "talvenor-demosites: cannot listen on 127.0.0.1:" << options.port << "\n";
        return 1;
    }
    std::printf("talvenor-demosites listening on http://127.0.0.1:%d\n", sites.port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    sites.Stop();
    return 0;
}
