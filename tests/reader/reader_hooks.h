// The reader window's hooks as a test plays them (every call recorded, the
// page that the browser would show read from the file it would load), and a
// program reading a book whose chapters a loopback server serves.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "reader/reader_form.h"
#include "support/page_server.h"
#include "support/program_fixture.h"
#include "text/files.h"

struct ReaderHooks {
    int displays = 0, blanks = 0, stops = 0, focuses = 0;
    std::vector<int> zooms, effects;
    std::vector<std::pair<int, int>> scrolls;
    std::string shown;                           // what the page shows
    std::vector<talvenor::PageMetrics> metrics;  // a page to scroll; none while empty
    // Run inside a display, as the window's event processing would run a
    // click that arrives meanwhile.
    std::function<void()> duringDisplay;

    void Attach(talvenor::TForm2& f2) {
        talvenor::TForm2* form = &f2;
        f2.displayPage = [this, form] { Show(*form); };
        f2.showEffect = [this, form](int style) {
            effects.push_back(style);
            Show(*form);
        };
        f2.navigateBlank = [this] { ++blanks, shown = "about:blank"; };
        f2.setTextZoom = [this](int level) { zooms.push_back(level); };
        f2.focusPage = [this] { ++focuses; };
        f2.stopBrowser = [this] { ++stops; };
        f2.readPage = [this](talvenor::PageMetrics& m) {
            if (metrics.empty()) return false;
            m = metrics.front();
            return true;
        };
        f2.scrollPage = [this](int dx, int dy) { scrolls.emplace_back(dx, dy); };
    }

  private:
    void Show(talvenor::TForm2& f2) {
        ++displays;
        shown = talvenor::ReadFileBytes(f2.PagePath());
        if (duringDisplay) duringDisplay();
    }
};

// Chapter i of the book is "c" + i with the text "text" + i + "<br>more".
class LocalReader : public ProgramFixture {
  public:
    ReaderHooks hooks;
    PageServer pages;
    const int chapters;

    explicit LocalReader(int count = 6) : chapters(count) {
        for (int i = 0; i < count; ++i)
            pages.Put("/" + std::to_string(i) + ".html",
                      "<div id=\"BookText\">text" + std::to_string(i) + "<br>more<SPAN>");
        StartReader();
    }
    // A new program in the same home, reading the book.
    void StartReader() {
        hooks = ReaderHooks();
        Start();
        hooks.Attach(f2());
        talvenor::StringList titles, urls;
        for (int i = 0; i < chapters; ++i) {
            titles.push_back("c" + std::to_string(i));
            urls.push_back(pages.base() + "/" + std::to_string(i) + ".html");
        }
        f1().CurrentSite = talvenor::Label(talvenor::Site::S520);
        f2().ListBox1.Assign(titles);
        f2().PageUrlList.Assign(urls);
        f2().window.visible = true;
        f1().window.visible = false;
    }
    bool Shows(int i) const {
        const std::string n = std::to_string(i);
        return hooks.shown.find("<h1>c" + n + "</h1>text" + n) != std::string::npos;
    }
};
