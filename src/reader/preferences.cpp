#include "reader/preferences.h"

#include <cstdio>

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
    N8 = {G("工具栏翻转"), 0, false};
    N27 = {G("显示/隐藏自动标签"), 0, false};
    N28 = {G("增大段落间距"), 0, false};
    NB0 = {G("0倍间距"), 0, false};
    Nb1 = {G("1倍间距"), 1, true};
    Nb2 = {G("2倍间距"), 2, false};
    Nb3 = {G("3倍间距"), 3, false};
    NDuiqi = {G("段落对齐"), 0, false};
    NLeftDui = {G("左对齐"), 0, false};
    NCenterDui = {G("居中对齐"), 1, true};
    NTBKuandu = {G("页面宽度"), 0, false};
    N29 = {G("设置。。"), 0, false};
    N30 = {G("取消设置"), 0, false};
    N1 = {G("文字大小"), 0, false};
    N51 = {G("最小"), 0, false};
    N11 = {G("较小"), 1, false};
    N21 = {G("中"), 2, true};
    N31 = {G("较大"), 3, false};
    N41 = {G("最大"), 4, false};
    N3 = {G("文字颜色"), 0, false};
    N4 = {G("字体"), 0, false};
    N5 = {G("字体大小"), 0, false};
    N6 = {"0", 0, true};
    N12 = {"1", 1, false};
    N22 = {"2", 2, false};
    N32 = {"3", 3, false};
    N42 = {"4", 4, false};
    N52 = {"5", 5, false};
    N61 = {"6", 6, false};
    N71 = {"7", 7, false};
    N2 = {G("背景颜色"), 1, false};
    N17 = {G("滚屏间距。。"), 0, false};
    N18 = {G("滚屏速度。。"), 0, false};
    N16 = {G("滚屏"), 0, false};
    N20 = {G("静音"), 0, false};
    N23 = {G("无翻页效果"), 0, true};
    N26 = {G("普通翻页效果"), 0, false};
    N24 = {G("页面百变效果"), 0, false};
    N25 = {G("页面词语过滤。。"), 0, false};
    N14 = {G("退出时不修改自动标签"), 0, false};
}

std::string HtmlColor(unsigned colorValue) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06X", colorValue & 0xFFFFFFu);
    const std::string bbggrr(digits);
    return bbggrr.substr(4, 2) + bbggrr.substr(2, 2) + bbggrr.substr(0, 2);
}

}  // namespace talvenor
