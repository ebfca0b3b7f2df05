// A program in a fresh temporary home, driven by a scripted desktop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/download_worker.h"
#include "app/program.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "reader/reader_form.h"
#include "support/scripted_desktop.h"
#include "test_home.h"
#include "text/files.h"

class ProgramFixture {
public:
    TestHome home;
    ScriptedDesktop desktop;
    talvenor::AppPaths paths = talvenor::AppPaths::ForAppDir(home.dir());
    std::unique_ptr<talvenor::Program> program;

    ProgramFixture() { talvenor::PrepareAppDirs(paths); }
    ~ProgramFixture() {
        if (program) program->StopAllWorkers();
    }

    talvenor::Program& Start(std::vector<std::string> args = {}) {
        program = std::make_unique<talvenor::Program>(desktop, paths, std::move(args));
        return *program;
    }
    talvenor::TForm1& f1() { return *program->form1; }
    talvenor::TForm2& f2() { return *program->form2; }
    talvenor::TForm4& f4() { return *program->form4; }

    // A stored catalogue file of a site (names given in UTF-8).
    void Store(const char* siteUtf8, const char* fileUtf8, const std::vector<std::string>& itemsUtf8) {
        std::string label = talvenor::G(siteUtf8);
        talvenor::MakeDirs(talvenor::SiteFolder(paths.appDir, label));
        talvenor::SaveList(talvenor::SiteFilePath(paths.appDir, label, talvenor::G(fileUtf8)), Gbk(itemsUtf8));
    }
    talvenor::StringList Stored(const char* siteUtf8, const char* fileUtf8) {
        return talvenor::LoadList(
            talvenor::SiteFilePath(paths.appDir, talvenor::G(siteUtf8), talvenor::G(fileUtf8)));
    }
    static talvenor::StringList Gbk(const std::vector<std::string>& utf8) {
        talvenor::StringList out;
        for (const auto& s : utf8) out.push_back(talvenor::G(s.c_str()));
        return out;
    }
    // Runs the main thread until the progress window has closed.
    bool WaitForDownload(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        return desktop.PumpUntil([&] { return !f4().window.visible; }, limit);
    }
};
