// talvenor-cli: the command-line front on the core.
//
//   talvenor-cli [OPTIONS] COMMAND [ARGS]
//
// Output is UTF-8; lists print one item a line, name and URL separated by a
// TAB.  Messages and questions of the program go to standard error.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "catalogue/failures.h"
#include "catalogue/store.h"
#include "cli/commands.h"
#include "cli/terminal_output.h"
#include "net/http_client.h"
#include "text/encoding.h"
#include "text/files.h"

using namespace talvenor;

static void Usage(std::ostream& out) {
    out << "usage: talvenor-cli [--home DIR] [--offline] [--yes|--no|--ask] [--wait-timeout S] "
           "[--page-timeout S] COMMAND [ARGS]\n\n"
           "  --home DIR        the folder of the store (default: ~/.local/share/talvenor, or beside the\n"
           "                    program when a file \"portable\" is there)\n"
           "  --offline         no download at all: chapters and chapter lists come from the cache\n"
           "  --yes/--no        how the program's questions are answered (default --yes); --ask asks on the "
           "terminal\n"
           "  --wait-timeout S  give up on a server that sends nothing for S seconds (default 20, 30 for "
           "the\n"
           "                    clients the reader creates)\n"
           "  --page-timeout S  give up on a page that takes longer than S seconds in all (default 180)\n"
           "  --version         print the version\n"
           "\ncommands:\n";
    for (const auto& c : cli::Commands()) out << "  " << c.synopsis << "\n      " << c.help << "\n";
    out << "\nexit codes: 0 done, 1 a download failed (or the command was refused), 2 bad usage, 3 nothing\n"
           "found (no result, book, entry or category), 4 a file could not be written, 130 interrupted\n";
}

// Seconds as milliseconds, for the time-out options: a number above 0 and
// at most a day, decimals allowed; -1 when it is not one.
static int Milliseconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return -1;
    char* end = nullptr;
    double seconds = std::strtod(text.c_str(), &end);
    if (!end || *end || !(seconds > 0) || seconds > 86400) return -1;
    int ms = static_cast<int>(seconds * 1000 + 0.5);
    return ms < 1 ? 1 : ms;
}

int main(int argc, char** argv) {
    cli::InstallInterruptHandler();
    KeepHeapForLongLists();
    cli::GuardTerminalOutput();
    std::string home;
    bool homeGiven = false;
    bool offline = false;
    std::vector<std::string> args;
    cli::CliDesktop::Answer answer = cli::CliDesktop::Answer::Yes;
    FetchLimits limits = CurrentFetchLimits();
    auto usageError = [](const std::string& message) {
        std::cerr << "talvenor-cli: " << message << "\n";
        return static_cast<int>(cli::kExitUsage);
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if ((a == "--home" || a == "--wait-timeout" || a == "--page-timeout")) {
            if (i + 1 >= argc) return usageError(a + " needs a value");
            std::string value = argv[++i];
            if (a == "--home") {
                home = value;
                homeGiven = true;
            } else {
                int ms = Milliseconds(value);
                if (ms < 0) return usageError(a + " needs a number of seconds, not \"" + value + "\"");
                if (a == "--wait-timeout")
                    limits.configuredReadTimeoutMs = limits.runTimeReadTimeoutMs = ms;
                else
                    limits.pageTimeoutMs = ms;
            }
        } else if (a.rfind("--home=", 0) == 0) {
            home = a.substr(7);
            homeGiven = true;
        } else if (a == "--offline") {
            offline = true;
        } else if ((a == "--yes" || a == "-y")) {
            answer = cli::CliDesktop::Answer::Yes;
        } else if ((a == "--no" || a == "-n")) {
            answer = cli::CliDesktop::Answer::No;
        } else if (a == "--ask") {
            answer = cli::CliDesktop::Answer::Ask;
        } else if (a == "--version") {
            std::cout << "talvenor-cli " TALVENOR_VERSION "\n";
            return 0;
        } else if ((a == "-h" || a == "--help")) {
            Usage(std::cout);
            return 0;
        } else {
            args.push_back(a);
        }
    }
    // An empty folder would silently mean the program's own folder.
    if (homeGiven && home.empty()) return usageError("--home needs a folder, not an empty name");
    if (args.empty()) {
        Usage(std::cerr);
        return cli::kExitUsage;
    }
    SetFetchLimits(limits);
    for (const auto& c : cli::Commands()) {
        if (args[0] != c.name) continue;
        const unsigned long writeFailuresBefore = WriteFailures().count;
        int rc;
        try {
            cli::Context ctx;
            ctx.answer = answer;
            ctx.offline = offline;
            ctx.paths = AppPaths::ForAppDir(ResolveAppDir(home, ""));
            std::string problems = PrepareAppDirs(ctx.paths);
            if (!problems.empty()) std::cerr << problems;
            rc = c.run(ctx, std::vector<std::string>(args.begin() + 1, args.end()));
        } catch (const FileError& e) {
            std::cerr << "talvenor-cli: " << e.what() << "\n";
            rc = cli::kExitNotSaved;
        } catch (...) {
            // The general handler's text; some failures speak GBK.
            std::cerr << "talvenor-cli: " << GbkToUtf8(FailureText(std::current_exception())) << "\n";
            rc = cli::kExitFailed;
        }
        if (cli::gInterrupted) {
            std::cerr << "talvenor-cli: interrupted\n";
            return cli::kExitInterrupted;
        }
        // A write that failed where the program carried on: something was not saved.
        const WriteFailureRecord writes = WriteFailures();
        if (rc != cli::kExitUsage && rc != cli::kExitNotSaved && writes.count != writeFailuresBefore) {
            std::cerr << "talvenor-cli: " << writes.last << "\n";
            rc = cli::kExitNotSaved;
        }
        return rc;
    }
    std::cerr << "talvenor-cli: unknown command \"" << args[0] << "\"\n";
    Usage(std::cerr);
    return cli::kExitUsage;
}
