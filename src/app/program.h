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
    // window, then the progress window.  args: the command line after the
    // program name.
    Program(Desktop& desktop, AppPaths paths, std::vector<std::string> args = {});
    ~Program() override;

    std::unique_ptr<TForm2> form2;

    // ReaderLink.
    WindowState& ReaderWindow() override;
    ListModel& ReaderScratch() override;
    void OpenBookInReader(const std::string& key, const std::string& title) override;
    void ChapterListCancelled() override;
};

}  // namespace talvenor
