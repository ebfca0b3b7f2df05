#include "catalogue/chapter_list_pages.h"

#include <algorithm>
#include <utility>

#include "catalogue/site_rules.h"

namespace talvenor {

void ChapterBatch::Reserve(size_t pageBytes) {
    size_t n = std::min<size_t>(pageBytes / 48 + 1, 100000);
    titles.reserve(n);
    urls.reserve(n);
    steps.reserve(n + 2);
}

namespace {

ChapterBatch BatchOf(rules::Output out) {
    ChapterBatch batch;
    batch.titles = std::move(out.lists[0]);
    batch.urls = std::move(out.lists[1]);
    batch.steps = std::move(out.progress);
    if (out.outs[0]) batch.SetMax(static_cast<int>(*out.outs[0]));
    batch.selectFirst = out.outs[1].value_or(0) != 0;
    return batch;
}

ChapterBatch Chapters(const char* site, const std::string& page, const rules::Inputs& in) {
    return BatchOf(rules::Run(*rules::Builtin(site), rules::WalkKind::Chapters, page, in));
}

// The site's chapter walk of its rule file, run on the page as it arrives.
class RuleChapterWalk final : public ChapterListWalk {
public:
    RuleChapterWalk(const char* site, rules::Inputs in)
        : walk_(rules::Builtin(site), rules::WalkKind::Chapters, std::move(in)) {}
    void Feed(const char* data, size_t n, bool last) override { walk_.Feed(data, n, last); }
    void Reserve(size_t pageBytes) override { walk_.Reserve(pageBytes); }
    ChapterBatch Finish(const std::string& page) override { return BatchOf(walk_.Finish(page)); }
    size_t Taken() const override { return walk_.Taken(); }

private:
    rules::StreamedWalk walk_;
};

rules::Inputs WithBase(const std::string& base) {
    rules::Inputs in;
    in.base = base;
    return in;
}

rules::Inputs WithPrefix(const std::string& prefix) {
    rules::Inputs in;
    in.prefix = prefix;
    return in;
}

}  // namespace

std::unique_ptr<ChapterListWalk> DuowanChapterWalk() {
    return std::make_unique<RuleChapterWalk>("duowan", rules::Inputs());
}

std::unique_ptr<ChapterListWalk> ReadnovelChapterWalk() {
    return std::make_unique<RuleChapterWalk>("readnovel", rules::Inputs());
}

std::unique_ptr<ChapterListWalk> Xs8ChapterWalk(const std::string& base) {
    return std::make_unique<RuleChapterWalk>("xs8", WithBase(base));
}

std::unique_ptr<ChapterListWalk> FeikuChapterWalk(const std::string& prefix) {
    return std::make_unique<RuleChapterWalk>("feiku", WithPrefix(prefix));
}

std::unique_ptr<ChapterListWalk> S520ChapterWalk(const std::string& prefix) {
    return std::make_unique<RuleChapterWalk>("520", WithPrefix(prefix));
}

ChapterBatch DuowanChapterPage(const std::string& utf8Page) {
    return Chapters("duowan", utf8Page, rules::Inputs());
}

ChapterBatch ReadnovelChapterPage(const std::string& page) {
    return Chapters("readnovel", page, rules::Inputs());
}

ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base) {
    return Chapters("xs8", fileBytes, WithBase(base));
}

ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix) {
    return Chapters("feiku", page, WithPrefix(prefix));
}

ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix) {
    return Chapters("520", page, WithPrefix(prefix));
}

}  // namespace talvenor
