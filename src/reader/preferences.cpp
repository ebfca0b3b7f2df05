#include "reader/preferences.h"

#include "catalogue/sites.h"

namespace talvenor {

std::string DefaultFilterWord() {
    return G("xs520.localhost发布");
}

ReaderPrefs::ReaderPrefs()
    : PagePrefix("<center><table><td width=800>"),
      PageSuffix("</td></table>"),
      FilterWord(DefaultFilterWord()),
      WidthTableOpen("<table><td width=800>"),
      PageWidth("800"),
      CenterTag("<center>") {
    NB0 = {G("0倍间距"), 0, false};
    Nb1 = {G("1倍间距"), 1, true};
    Nb2 = {G("2倍间距"), 2, false};
    Nb3 = {G("3倍间距"), 3, false};
    N25 = {G("页面词语过滤。。"), 0, false};
    N20 = {G("静音"), 0, false};
    N23 = {G("无翻页效果"), 0, true};
    N26 = {G("普通翻页效果"), 0, false};
    N24 = {G("页面百变效果"), 0, false};
    N14 = {G("退出时不修改自动标签"), 0, false};
}

}  // namespace talvenor
