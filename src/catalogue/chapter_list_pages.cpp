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

ChapterBatch Chapters(const char* site, const std::string& page, const rules::Inputs& in) {
    rules::Output out = rules::Run(*rules::Builtin(site), rules::WalkKind::Chapters, page, in);
    ChapterBatch batch;
    batch.titles = std::move(out.lists[0]);
    batch.urls = std::move(out.lists[1]);
    batch.steps = std::move(out.progress);
    if (out.outs[0]) batch.SetMax(static_cast<int>(*out.outs[0]));
    batch.selectFirst = out.outs[1].value_or(0) != 0;
    return batch;
}

}  // namespace

ChapterBatch DuowanChapterPage(const std::string& utf8Page) {
    return Chapters("duowan", utf8Page, rules::Inputs());
}

ChapterBatch ReadnovelChapterPage(const std::string& page) {
    return Chapters("readnovel", page, rules::Inputs());
}

ChapterBatch Xs8ChapterPage(const std::string& fileBytes, const std::string& base) {
    rules::Inputs in;
    in.base = base;
    return Chapters("xs8", fileBytes, in);
}

ChapterBatch FeikuChapterPage(const std::string& page, const std::string& prefix) {
    rules::Inputs in;
    in.prefix = prefix;
    return Chapters("feiku", page, in);
}

ChapterBatch S520ChapterPage(const std::string& page, const std::string& prefix) {
    rules::Inputs in;
    in.prefix = prefix;
    return Chapters("520", page, in);
}

}  // namespace talvenor
