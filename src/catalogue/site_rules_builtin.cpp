// The site table: the compiled-in rule files, replaced or joined by the rule
// files found in the data folders.
#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unordered_map>

#include "catalogue/site_rules.h"
#include "text/files.h"

namespace talvenor::rules {

namespace {

using Table = std::unordered_map<std::string, std::shared_ptr<const SiteRules>>;

const Table& CompiledTable() {
    static const Table* table = [] {
        auto* t = new Table();
        for (const auto& [name, text] : BuiltinRuleFiles()) {
            auto site = LoadRules(text, "built-in:" + name);
            (*t)[site->key] = std::move(site);
        }
        return t;
    }();
    return *table;
}

std::mutex gMutex;
std::shared_ptr<const Table> gActive;

std::shared_ptr<const Table> ActiveTable() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gActive) gActive = std::make_shared<Table>(CompiledTable());
    return gActive;
}

// The "*.toml" plain files of a folder, by name.
std::vector<std::string> RuleFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    DIR* d = opendir(folder.c_str());
    if (!d) return files;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 6 || name.compare(name.size() - 5, 5, ".toml") != 0) continue;
        struct stat st;
        const std::string path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(path);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::shared_ptr<const SiteRules> CompiledIn(const std::string& key) {
    auto it = CompiledTable().find(key);
    return it == CompiledTable().end() ? nullptr : it->second;
}

std::shared_ptr<const SiteRules> Builtin(const std::string& key) {
    auto site = Active(key);
    if (!site) throw std::logic_error("no built-in site " + key);
    return site;
}

std::shared_ptr<const SiteRules> Active(const std::string& key) {
    auto table = ActiveTable();
    auto it = table->find(key);
    return it == table->end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<const SiteRules>> ActiveSites() {
    auto table = ActiveTable();
    std::vector<std::shared_ptr<const SiteRules>> sites;
    for (const char* key : {"duowan", "readnovel", "xs8", "feiku", "520"}) {
        auto it = table->find(key);
        if (it != table->end()) sites.push_back(it->second);
    }
    std::vector<std::shared_ptr<const SiteRules>> others;
    for (const auto& [key, site] : *table)
        if (!CompiledIn(key)) others.push_back(site);
    std::sort(others.begin(), others.end(), [](const auto& a, const auto& b) { return a->key < b->key; });
    sites.insert(sites.end(), others.begin(), others.end());
    return sites;
}

std::string LoadSiteTable(const std::vector<std::string>& folders) {
    constexpr size_t kMaxRuleFile = 1 << 20;
    auto table = std::make_shared<Table>(CompiledTable());
    std::string problems;
    for (const std::string& folder : folders) {
        for (const std::string& path : RuleFilesIn(folder)) {
            try {
                std::string text;
                try {
                    text = ReadFileBytes(path);
                } catch (const std::exception& e) {
                    throw RuleFileError({path, 0, 0, std::string("cannot be read: ") + e.what()});
                }
                if (text.size() > kMaxRuleFile)
                    throw RuleFileError({path, 0, 0, "larger than 1 MiB: not read"});
                auto site = LoadRules(text, path);
                auto builtin = CompiledIn(site->key);
                if (builtin && builtin->name != site->name)
                    throw RuleFileError({path, site->nameLine, site->nameColumn,
                                         "replaces the built-in site '" + site->key + "' and must keep its name \"" +
                                             builtin->name + "\" (the store's folder)"});
                for (const auto& [key, other] : *table)
                    if (key != site->key && other->name == site->name)
                        throw RuleFileError({path, site->nameLine, site->nameColumn, "the name \"" + site->name + "\" is that of site '" + key + "'"});
                (*table)[site->key] = std::move(site);
            } catch (const RuleFileError& e) {
                problems += e.error.Text() + " (the file is skipped)\n";
            }
        }
    }
    std::lock_guard<std::mutex> lock(gMutex);
    gActive = std::move(table);
    return problems;
}

}  // namespace talvenor::rules
