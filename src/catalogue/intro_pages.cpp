#include "catalogue/intro_pages.h"

#include "catalogue/site_rules.h"

namespace talvenor {

namespace {

std::optional<std::string> Intro(const char* site, const std::string& page) {
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Intro, page, rules::Inputs());
    if (out.lists[0].empty()) return std::nullopt;
    return std::move(out.lists[0].front());
}

}  // namespace

std::optional<std::string> S520IntroPage(const std::string& page) {
    return Intro("520", page);
}

std::optional<std::string> DuowanIntroPage(const std::string& utf8Page) {
    return Intro("duowan", utf8Page);
}

std::optional<std::string> ReadnovelIntroPage(const std::string& page) {
    return Intro("readnovel", page);
}

std::optional<std::string> Xs8IntroPage(const std::string& page) {
    return Intro("xs8", page);
}

std::optional<std::string> FeikuIntroPage(const std::string& page) {
    return Intro("feiku", page);
}

}  // namespace talvenor
