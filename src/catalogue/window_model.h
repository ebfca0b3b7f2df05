// Small types that every window's model shares: a menu item with its tick,
// a window's visibility, and the window codes of the tray icon.
#pragma once

#include <string>

namespace talvenor {

struct MenuItem {
    std::string caption;
    int tag = 0;
    bool checked = false;
};

struct WindowState {
    bool visible = false;
    bool minimized = false;
};

// Window codes of the tray: which window the icon stands for.
enum TrayCode { kTrayNone = 0, kTrayCatalogue = 1, kTrayReader = 2, kTrayProgress = 4 };

}  // namespace talvenor
