// talvenor-cli: the command-line front on the core.
//
//   talvenor-cli [--home DIR] COMMAND [ARGS]
//
// Output is UTF-8; lists print one item a line, name and URL separated by a TAB.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "cli/commands.h"

using namespace talvenor;

static void Usage(std::ostream& out) {
    out << "usage: talvenor-cli [--home DIR] COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : cli::Commands()) out << "  " << c.synopsis << "\n      " << c.help << "\n";
}

int main(int argc, char** argv) {
    std::string home;
    std::vector<std::string> args;
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
