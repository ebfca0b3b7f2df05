// The progress window: an always-on-top window with a cancel button and a
// progress bar, shown while a download runs.
#pragma once

#include <string>

#include "catalogue/list_model.h"
#include "catalogue/program_state.h"

namespace talvenor {

class TForm4 {
  public:
    explicit TForm4(ProgramState& program);

    WindowState window;
    int Tag = 0;  // 1 a book-list download, 0 a chapter-list download
    ProgressModel ProgressBar1;
    std::string Caption;

    // Shows the window in its normal, not minimised, state.
    void Show();
    // Closes the window; its close handling acts on TrayWindow.
    void Close();
    // The cancel button "取消".
    void Button1Click();
    void FormClose();

  private:
    ProgramState& program_;
};

}  // namespace talvenor
