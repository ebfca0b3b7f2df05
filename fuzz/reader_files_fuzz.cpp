// The reader's stored files, read by the program itself: the preferences
// ("FontAndColor.web"), the mark list ("AutoMark") and the state of the last
// reading ("default.1" to "default.3"), as a hand-edited, damaged or foreign
// file may hold them.
//
// Input: a byte of actions, then the five files in that order, separated by
// the byte 0x1E (a file left out is missing).  The program starts on them
// (the reader reads its marks and preferences), resumes the last reading
// (上次阅读) when the three state files are there, turns a page, deletes a
// mark, and closes the reader, which writes its files.  A second start must
// read back what the first one wrote: the same preferences, arrangement and
// marks.  Any failure must be one the program reports, never an exception
// that escapes it, a crash or undefined behaviour.  Every site points at a
// closed port, so a chapter fetch fails at once.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/program.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/store.h"
#include "fuzz_support.h"
#include "net/site_hosts.h"
#include "quiet_desktop.h"
#include "reader/reader_form.h"
#include "support/closed_port.h"
#include "text/files.h"

using namespace talvenor;

namespace {

const char* const kFiles[] = {"FontAndColor.web", "AutoMark", "default.1", "default.2", "default.3"};

std::string Home() {
    static const std::string home = [] {
        std::string t = (std::filesystem::temp_directory_path() / "talvenor-fuzz-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(t.data()) != nullptr);
        // A port held bound but not listening for the whole run: refused at
        // once, and no other process can take it meanwhile.
        static ClosedPort port;
        SiteHosts closed = SiteHosts::Demo();
        for (const auto& e : SiteHosts::Entries())
            closed.*(e.member) = "http://127.0.0.1:" + std::to_string(port.port());
        SetHosts(closed);
        static std::string made = t;
        std::atexit([] { std::filesystem::remove_all(made); });
        return t + "/";
    }();
    return home;
}

// What the reader writes at close and reads at start.
struct Saved {
    std::vector<std::string> prefs;
    int bar;
    std::string hide;
    bool marksShown;
    std::vector<std::string> marks;
    bool operator==(const Saved& o) const {
        return prefs == o.prefs && bar == o.bar && hide == o.hide && marksShown == o.marksShown &&
               marks == o.marks;
    }
};

Saved Snapshot(const TForm2& f) {
    const ReaderPrefs& p = f.prefs;
    auto ticked = [](const MenuItem& m) { return m.checked ? "1" : "0"; };
    return {{p.BackgroundAttr, p.TextColorAttr, p.FontSizeAttr, p.FontFaceAttr, std::to_string(p.ZoomLevel),
             p.PagePrefix, p.PageSuffix, std::to_string(p.ScrollStep), std::to_string(p.ScrollInterval),
             ticked(p.NB0), ticked(p.Nb1), ticked(p.Nb2), ticked(p.Nb3), ticked(p.N20), ticked(p.N23),
             ticked(p.N26), ticked(p.N24)},
            f.Panel2.Tag,
            f.btnHide.caption,
            f.ListBoxMark.visible,
            f.ListBoxMark.items};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string home = Home();
    fuzz::Input in(data, size);
    const uint8_t actions = in.Byte();
    const std::string rest = in.Rest();

    const AppPaths paths = AppPaths::ForAppDir(home);
    std::filesystem::remove_all(paths.setDir);
    MakeDirs(paths.setDir);
    size_t from = 0;
    for (const char* name : kFiles) {
        if (from > rest.size()) break;
        size_t end = rest.find('\x1E', from);
        if (end == std::string::npos) end = rest.size();
        WriteFileAtomic(paths.setDir + name, rest.substr(from, end - from));
        from = end + 1;
    }

    fuzz::QuietDesktop desktop;
    Saved written;
    {
        Program program(desktop, paths);
        TForm2& reader = *program.form2;
        program.N17Click();
        if (actions & 1) reader.goOnClick(reader.BtnNext);
        if ((actions & 2) && !reader.ListBoxMark.Empty()) {
            reader.ListBoxMark.Select((actions >> 4) % reader.ListBoxMark.Count());
            reader.PopMark_DelClick();
        }
        if (actions & 4) reader.ToggleMarkList();
        // What the close writes: the marks and the state only with a book
        // open, the preferences always.
        const bool bookOpen = !reader.ListBox1.Empty();
        reader.FormClose();
        if (!bookOpen) reader.SavePreferences();
        written = Snapshot(reader);
        if (!bookOpen)
            written.marks = FileExists(paths.setDir + "AutoMark") ? LoadList(paths.setDir + "AutoMark")
                                                                  : std::vector<std::string>();
    }
    // A second start reads the same.
    {
        Program program(desktop, paths);
        FUZZ_CHECK(Snapshot(*program.form2) == written);
    }
    return 0;
}
