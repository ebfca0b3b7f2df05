// watch check: the new chapters of the watch list's books.
#include <iostream>

#include "catalogue/catalogue_form.h"
#include "catalogue/watch_check.h"
#include "cli/commands.h"
#include "cli/progress_line.h"
#include "net/retry_policy.h"
#include "net/site_hosts.h"
#include "text/files.h"

namespace talvenor::cli {

namespace {

std::string EntryColumns(const WatchResult& r) {
    return std::to_string(r.entry) + "\t" + Field(r.name) + "\t";
}

}  // namespace

int WatchCheckCommand(Context& ctx, int only) {
    TForm1& f1 = *ctx.program->form1;
    f1.N14Click();
    std::vector<WatchEntry> entries;
    for (int i = 0; i < f1.ListBox2.Count() && i < f1.BookURLList.Count(); ++i)
        entries.push_back({f1.ListBox2.items[static_cast<size_t>(i)], f1.BookURLList.items[static_cast<size_t>(i)]});
    if (only >= static_cast<int>(entries.size())) {
        std::cerr << "talvenor-cli: the watch list has " << entries.size() << " entries\n";
        return kExitNotFound;
    }
    if (entries.empty()) {
        std::cerr << "talvenor-cli: the watch list is empty\n";
        return kExitOk;
    }
    const int total = only >= 0 ? 1 : static_cast<int>(entries.size());
    std::vector<WatchResult> results;
    std::string saveError;
    {
        ProgressLine line;
        int done = 0;
        line.Set("checking 0/" + std::to_string(total));
        try {
            results = CheckWatchList(entries, only, ctx.paths.setDir, Hosts(), &gInterrupted,
                                     [&](const WatchResult&) {
                                         line.Set("checking " + std::to_string(++done) + "/" +
                                                  std::to_string(total));
                                     });
        } catch (const FileError& e) {
            saveError = e.what();
        }
    }
    if (gInterrupted) return kExitInterrupted;

    int failed = 0, added = 0, books = 0;
    for (const WatchResult& r : results) {
        const std::string head = EntryColumns(r);
        switch (r.outcome) {
            case WatchOutcome::Recorded:
                std::cout << head << "recorded\t" << r.after << " 章\n";
                break;
            case WatchOutcome::Shortened:
                std::cout << head << "shortened\t" << r.before << " → " << r.after << " 章\n";
                break;
            case WatchOutcome::Renamed:
                std::cout << head << "renamed\t" << Field(r.oldTitle) << " → "
                          << (r.newTitle.empty() ? std::string("?") : Field(r.newTitle)) << "\n";
                break;
            case WatchOutcome::Failed:
                ++failed;
                std::cerr << "talvenor-cli: entry " << r.entry << " " << Out(r.name) << " (" << Out(r.key)
                          << ") could not be checked: " << r.error << "\n";
                break;
            case WatchOutcome::New:
            case WatchOutcome::Unchanged:
                break;
        }
        for (const auto& [number, title] : r.added) std::cout << head << number << "\t" << Field(title) << "\n";
        added += static_cast<int>(r.added.size());
        if (!r.added.empty()) ++books;
    }
    std::cout << "checked: " << results.size() - static_cast<size_t>(failed) << " 本, new: " << added << " 章 in "
              << books << " 本, failed: " << failed << "\n";
    if (!saveError.empty()) {
        std::cerr << "talvenor-cli: " << saveError << "\n";
        return kExitNotSaved;
    }
    return failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace talvenor::cli
