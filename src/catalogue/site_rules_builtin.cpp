// The built-in sites' rules, read once from the files compiled in.
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "catalogue/site_rules.h"

namespace talvenor::rules {

const SiteRules& Builtin(const std::string& key) {
    static const auto* table = [] {
        auto* t = new std::unordered_map<std::string, std::shared_ptr<const SiteRules>>();
        for (const auto& [name, text] : BuiltinRuleFiles()) {
            auto site = LoadRules(text, "built-in:" + name);
            (*t)[site->key] = std::move(site);
        }
        return t;
    }();
    auto it = table->find(key);
    if (it == table->end()) throw std::logic_error("no built-in site " + key);
    return *it->second;
}

}  // namespace talvenor::rules
