// The application object with the program's general handler: a failure that
// escapes a handler is shown in a message box and the program goes on.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace talvenor {

class Desktop;

class TalvenorApplication : public QApplication {
    Q_OBJECT
  public:
    TalvenorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Application-wide settings every window relies on: the style with the hint
// timing, the icon, and no quitting when the last window hides (windows hide
// to the tray; the program ends when the catalogue window closes).
void SetUpApplication(QApplication& app);

// Shows or hides a window as its model says; a window shown is raised, and
// centred on its screen when `centre` is true.
void ShowAsModel(QWidget* window, bool visible, bool centre);

// The text of a failure: what() of a standard exception, read as UTF-8 when
// it is valid UTF-8 and as GBK (the core's texts) otherwise.
QString FailureText(const std::exception_ptr& failure);
// The general handler's message box.
void ShowFailure(const std::exception_ptr& failure);
// Runs a window's handler: a failure that escapes it is shown; the windows
// redraw from the models afterwards in any case.
void RunHandler(Desktop& desktop, const std::function<void()>& handler);

}  // namespace talvenor
