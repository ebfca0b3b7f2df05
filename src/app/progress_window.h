// The progress window TForm4: always on top, the cancel button 取消 and the
// progress bar that the download worker drives through the model.
#pragma once

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace talvenor {

struct ProgramState;
class QtDesktop;
class TForm4;

class ProgressWindow : public QWidget {
    Q_OBJECT
  public:
    ProgressWindow(ProgramState& program, TForm4& form, QtDesktop& desktop);

    // Shows what the model holds.
    void Sync();
    // While set, 取消 runs this instead of the download's cancel (a book
    // export, which is no download worker, uses the window too).
    void SetCancel(std::function<void()> cancel) { cancel_ = std::move(cancel); }

    QPushButton* Button1;  // 取消
    QProgressBar* ProgressBar1;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ShowProgress();

    ProgramState& program_;
    TForm4& form_;
    QtDesktop& desktop_;
    // The worker moves the bar in the model; the window follows it lightly.
    QTimer tick_;
    std::function<void()> cancel_;
};

}  // namespace talvenor
