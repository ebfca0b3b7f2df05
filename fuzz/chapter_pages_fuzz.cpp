// Chapter pages, cut, filtered and spaced as the reader shows them.
// Input: a site digit ("0" 多玩, "1" 小说阅读网, "2" 言情小说吧, "3" 飞库,
// "4" 小说520; any other byte wraps around), a choice byte (bit 0: the
// list's first entry; bits 1-2: paragraph spacing 0-3; bit 3: word filter
// on), then the page as served.
#include <string>

#include "catalogue/sites.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"
#include "reader/chapter_pages.h"
#include "reader/page_text.h"
#include "text/encoding.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SiteHosts hosts = SiteHosts::Demo();
    fuzz::Input in(data, size);
    const int site = in.Choice(5);
    const uint8_t choice = in.Byte();
    const std::string page = in.Rest();
    const bool first = choice & 1;
    const int spacing = (choice >> 1) & 3;
    ReaderPrefs prefs;
    prefs.NB0.checked = spacing == 0;
    prefs.Nb1.checked = spacing == 1;
    prefs.Nb2.checked = spacing == 2;
    prefs.Nb3.checked = spacing == 3;
    prefs.N25.checked = choice & 8;

    std::string content;
    size_t room = page.size();  // how long the content may grow
    bool filtered = true;       // whether the site's reader filters this content
    switch (site) {
        case 0:
            content = DuowanChapterPage(page, prefs);
            room += 64;  // the failure text
            break;
        case 1: {
            ReadnovelChapter cut = ReadnovelChapterPage(page, first, prefs);
            if (!cut.cut) FUZZ_CHECK(cut.content == page);
            content = cut.content;
            filtered = cut.cut && !first;
            break;
        }
        case 2:
            content = Xs8ChapterPage(page, first, hosts.xs8Forum, prefs);
            filtered = !first;
            break;
        case 3:
            content = FeikuChapterPage(page, hosts.feiku, prefs);
            // Each picture block gains the site's address once.
            room += 64 + fuzz::Count(page, "<div id=\"frontdiv\"") * hosts.feiku.size();
            break;
        default:
            content = S520ChapterPage(page, prefs);
            break;
    }
    FUZZ_CHECK(content.size() <= room);
    if (prefs.N25.checked && filtered)
        FUZZ_CHECK(GbkToUtf16(content).find(GbkToUtf16(prefs.FilterWord)) == std::u16string::npos);

    // Paragraph spacing agrees with the rule read byte by byte.
    std::string spaced = content;
    AddParagraphSpacing(spaced, prefs);
    std::string expected = content;
    if (spacing != 0) {
        std::string unit;
        for (int k = 0; k < (spacing == 1 ? 1 : spacing); ++k) unit += "<br>";
        expected = fuzz::SpacedByAutomaton(expected, unit);
    }
    FUZZ_CHECK(spaced == expected);

    return 0;
}
