// 定位 and the commands that open pages in the desktop's web browser.
#include "catalogue/outside_links.h"

#include "catalogue/catalogue_form.h"
#include "catalogue/sites.h"
#include "catalogue/title_search.h"
#include "net/site_hosts.h"
#include "text/encoding.h"

namespace talvenor {

std::string ForumAddress() {
    return Hosts().forum + "/index.php";
}

std::string RecommendationsAddress() {
    return Hosts().forum + "/forumdisplay.php?fid=2";
}

std::string BookShopAddress(int tag, const std::string& keyword) {
    const SiteHosts& h = Hosts();
    if (tag == 2)
        return h.dangdang + "/league/leagueref.asp?from=" + kShopPartner + "&backurl=" + h.dangdang +
               "/search.aspx?key=" + keyword;
    return h.zhuoyue + "/search/search.asp?searchType=1&source=" + kShopPartner +
           "&searchKind=" + (tag == 1 ? "author" : "name") +
           "&bestSaleNum=3&pageletid=headsearch&searchWord=" + keyword;
}

void TForm1::Panel4Click() {
    std::string text = program_.LastKeyword;
    if (!program_.desktop.Prompt(G("定位    "), G("定位到以前看的书        "), text)) return;
    program_.LastKeyword = text;
    // An empty text is found in no title.
    const std::u16string wanted = GbkToUtf16(text);
    if (wanted.empty()) return;
    const int found = FirstTitleWith(ListBox2.items, wanted);
    if (found >= 0) ListBox2.Select(found);
}

void TForm1::OpenInBrowser(const std::string& address) {
    if (!program_.desktop.OpenUrl(address))
        throw BrowserError(G("无法启动网页浏览器，请手动打开这个网址：") + address);
}

void TForm1::N11Click() {
    OpenInBrowser(ForumAddress());
}

void TForm1::N22Click() {
    OpenInBrowser(RecommendationsAddress());
}

void TForm1::N4Click(int senderTag) {
    std::string keyword;
    if (!program_.desktop.Prompt(G("搜索指定书名或作者的实体书          "),
                                 G("搜索包含指定关键词的实体书。例如：重生               "), keyword))
        return;
    OpenInBrowser(BookShopAddress(senderTag, keyword));
}

}  // namespace talvenor
