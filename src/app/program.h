// The program: the three windows' models, created in their order and wired
// together.  The catalogue and progress windows live in ProgramState; the
// reader sits above them and is reached from below only through ReaderLink.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue/program_state.h"

namespace talvenor {

class TForm2;

class Program : public ProgramState, public ReaderLink {
  public:
    // Creates the catalogue window (its FormCreate runs), then the reader
    // window (its FormCreate too), then the progress window.  args: the
    // command line after the program name.
    Program(Desktop& desktop, AppPaths paths, std::vector<std::string> args = {});
    ~Program() override;

    std::unique_ptr<TForm2> form2;

    // ReaderLink.
    WindowState& ReaderWindow() override;
    ListModel& ReaderScratch() override;
    void OpenBookInReader(const std::string& key, const std::string& title, int startAt = -1) override;
    void ChapterListCancelled() override;

    // The catalogue window's 敏捷访问 menu, where catalogue and reader meet.
    // 上次阅读 (F5): resumes from "default.1" to "default.3" through the
    // automatic mark.
    void N17Click() override;
    // 打开。。。: resumes from a position file set chosen in the open dialog.
    void N12Click() override;

  private:
    // Loads the reader's lists from a position file set (names, URLs and
    // the two-line set file) and selects its chapter; false after a failure,
    // which is shown as the general handler shows it.
    bool LoadPositionFiles(const std::string& names, const std::string& urls, const std::string& set);
};

}  // namespace talvenor
