// The reading preferences: ready-made HTML fragments that page composition
// concatenates, the scroll values, and the items of the reader's pop-up
// menu whose ticks are preferences themselves (spacing, alignment, mute,
// effect mode, text zoom, font size).
#pragma once

#include <string>

#include "catalogue/window_model.h"

namespace talvenor {

// The watermark one source site puts into its chapter texts; the initial
// word of the word filter.
std::string DefaultFilterWord();

struct ReaderPrefs {
    ReaderPrefs();

    std::string BackgroundAttr;  // " bgcolor=#RRGGBB"
    std::string TextColorAttr;   // "><font color=#RRGGBB"
    std::string FontSizeAttr;    // " Size=n"
    std::string FontFaceAttr;    // " face=name"
    std::string PagePrefix;      // CenterTag + WidthTableOpen: opens the text column
    std::string PageSuffix;      // closes it
    std::string FilterWord;
    int ZoomLevel = -1;        // 0..4 once applied
    int ScrollStep = 3;        // pixels per tick
    int ScrollInterval = 800;  // milliseconds between ticks

    // What PagePrefix is built from; not kept between runs.
    std::string WidthTableOpen;  // "<table><td width=800>", "<table><td>" or empty
    std::string PageWidth;       // last text typed into the width prompt
    std::string CenterTag;       // "<center>" or empty

    // The items of the pop-up menu, in its order.
    MenuItem N8;                            // 工具栏翻转
    MenuItem N27;                           // 显示/隐藏自动标签
    MenuItem N28, NB0, Nb1, Nb2, Nb3;       // 增大段落间距: 0倍间距 .. 3倍间距 (Tag 0..3)
    MenuItem NDuiqi, NLeftDui, NCenterDui;  // 段落对齐: 左对齐 (0), 居中对齐 (1)
    MenuItem NTBKuandu, N29, N30;           // 页面宽度: 设置。。, 取消设置
    MenuItem N1, N51, N11, N21, N31, N41;   // 文字大小: 最小 .. 最大 (Tag 0..4)
    MenuItem N3;                            // 文字颜色 (Tag 0)
    MenuItem N4;                            // 字体
    MenuItem N5, N6, N12, N22, N32, N42, N52, N61, N71;  // 字体大小: "0" .. "7" (Tag 0..7)
    MenuItem N2;                                         // 背景颜色 (Tag 1)
    MenuItem N17, N18, N16;  // 滚屏间距。。, 滚屏速度。。, 滚屏 / 停止滚屏
    MenuItem N20;            // 静音
    MenuItem N23, N26, N24;  // 无翻页效果, 普通翻页效果, 页面百变效果 (N24's Tag: next varied style)
    MenuItem N25;            // 页面词语过滤。。
    MenuItem N14;            // 退出时不修改自动标签

    // The four attribute fragments in page order.
    std::string Attributes() const { return BackgroundAttr + TextColorAttr + FontSizeAttr + FontFaceAttr; }
};

// The colour dialog's value as the page wants it: the platform value holds
// blue in its high byte and red in its low one; the result is RRGGBB in
// upper-case hexadecimal digits.
std::string HtmlColor(unsigned colorValue);

}  // namespace talvenor
