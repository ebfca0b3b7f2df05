// talvenor-cli: the command-line front on the core.
//
//   talvenor-cli [--home DIR] COMMAND [ARGS]
//
// Output is UTF-8; lists print one item a line, name and URL separated by a
// TAB.  Messages and questions of the program go to standard error.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "cli/commands.h"

using namespace talvenor;

static void Usage(std::ostream& out) {
    out << "usage: talvenor-cli [--home DIR] [--yes|--no|--ask] COMMAND [ARGS]\n\n"
           "  --home DIR   the folder of the store (default: beside the program, or ~/.local/share/talvenor)\n"
           "  --yes/--no   how the program's questions are answered (default --yes); --ask asks on the terminal\n"
           "\ncommands:\n";
    for (const auto& c : cli::Commands()) out << "  " << c.synopsis << "\n      " << c.help << "\n";
}

int main(int argc, char** argv) {
    cli::InstallInterruptHandler();
    std::string home;
    std::vector<std::string> args;
    cli::CliDesktop::Answer answer = cli::CliDesktop::Answer::Yes;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--home") {
            if (i + 1 >= argc) {
                std::cerr << "talvenor-cli: --home needs a folder\n";
                return 2;
            }
            home = argv[++i];
        } else if (a.rfind("--home=", 0) == 0) {
            home = a.substr(7);
        } else if (a == "--yes" || a == "-y") {
            answer = cli::CliDesktop::Answer::Yes;
        } else if (a == "--no" || a == "-n") {
            answer = cli::CliDesktop::Answer::No;
        } else if (a == "--ask") {
            answer = cli::CliDesktop::Answer::Ask;
        } else if (a == "-h" || a == "--help") {
            Usage(std::cout);
            return 0;
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) {
        Usage(std::cerr);
        return 2;
    }
    for (const auto& c : cli::Commands()) {
        if (args[0] != c.name) continue;
        try {
            cli::Context ctx;
            ctx.answer = answer;
            ctx.paths = AppPaths::ForAppDir(ResolveAppDir(home, ""));
            std::string problems = PrepareAppDirs(ctx.paths);
            if (!problems.empty()) std::cerr << problems;
            return c.run(ctx, std::vector<std::string>(args.begin() + 1, args.end()));
        } catch (const std::exception& e) {
            std::cerr << "talvenor-cli: " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "talvenor-cli: unknown command \"" << args[0] << "\"\n";
    Usage(std::cerr);
    return 2;
}
