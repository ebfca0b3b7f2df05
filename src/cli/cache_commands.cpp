// The offline chapter cache: what it holds, and emptying it.
#include <iostream>

#include "cli/commands.h"
#include "text/encoding.h"

namespace talvenor::cli {

namespace {

std::string Size(std::uint64_t bytes) {
    char buf[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else
        std::snprintf(buf, sizeof buf, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    return buf;
}

// A field of UTF-8 text on one line.
std::string Line(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

}  // namespace

int CacheCommand(Context& ctx, const std::vector<std::string>& args) {
    const char* usage = "cache | cache clear [SITE KEY]";
    Program& p = ctx.Start();
    ChapterCache& cache = p.chapterCache;
    if (args.empty()) {
        std::uint64_t total = 0;
        for (const CachedBook& b : cache.Books()) {
            std::cout << Line(b.site) << "\t" << Line(b.key) << "\t" << Line(b.title) << "\t" << b.pages
                      << " pages\t" << Size(b.bytes) << "\n";
            total += b.bytes;
        }
        std::cerr << "cache: " << Size(total) << " of " << Size(cache.Limit()) << " in " << cache.Dir()
                  << "\n";
        return kExitOk;
    }
    if (args[0] != "clear") return Usage(usage);
    if (args.size() == 1) {
        cache.ClearAll();
        return kExitOk;
    }
    if (args.size() != 3) return Usage(usage);
    const std::string label = SiteArg(args[1]);
    if (label.empty()) return Usage(usage);
    if (!cache.Clear(label, In(args[2]))) {
        std::cerr << "talvenor-cli: nothing of " << args[1] << " " << args[2] << " is cached\n";
        return kExitNotFound;
    }
    return kExitOk;
}

}  // namespace talvenor::cli
