// The reading preferences: ready-made HTML fragments that page composition
// concatenates, and the menu ticks that the chapter scrapers read.
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
    std::string PagePrefix;      // opens the text column
    std::string PageSuffix;      // closes it
    std::string FilterWord;
    int ZoomLevel = -1;
    int ScrollStep = 3;
    int ScrollInterval = 800;

    std::string WidthTableOpen;
    std::string PageWidth;
    std::string CenterTag;

    // Paragraph spacing 0倍间距 .. 3倍间距; the filter tick; mute; effects.
    MenuItem NB0, Nb1, Nb2, Nb3;
    MenuItem N25;
    MenuItem N20;
    MenuItem N23, N26, N24;
    MenuItem N14;

    // The four attribute fragments in page order.
    std::string Attributes() const { return BackgroundAttr + TextColorAttr + FontSizeAttr + FontFaceAttr; }
};

}  // namespace talvenor
