// The application object with the program's general handler: a failure that
// escapes a handler is shown in a message box and the program goes on.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

class QEvent;
class QWidget;

namespace talvenor {

class Desktop;

class TalvenorApplication : public QApplication {
    Q_OBJECT
  public:
    TalvenorApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Installs Qt's own Chinese texts (standard buttons, file, colour and font
// dialogs); false when the translation file is not installed.
bool LoadQtChinese(QApplication& app);

// Application-wide settings every window relies on: the style with the hint
// timing, the icon, and no quitting when the last window hides (windows hide
// to the tray; the program ends when the catalogue window closes), and Qt's
// Chinese texts.
void SetUpApplication(QApplication& app);

// Shows or hides a window as its model says; a window shown is raised, and
// centred on its screen when `centre` is true.
void ShowAsModel(QWidget* window, bool visible, bool centre);

// A window the user or the window manager has just minimised: it goes to the
// tray instead.  The model hides it; its minimised state is cleared only when
// it is shown again, since clearing it on a hidden window makes X11 map the
// window once more, unpainted.
bool IsMinimisedNow(QWidget* window, QEvent* event);
// Still shown and minimised (not restored meanwhile).
bool StillMinimised(QWidget* window);

// The text of a failure: what() of a standard exception, read as UTF-8 when
// it is valid UTF-8 and as GBK (the core's texts) otherwise.
QString FailureText(const std::exception_ptr& failure);
// The general handler's message box.
void ShowFailure(const std::exception_ptr& failure);
// Runs a window's handler: a failure that escapes it is shown; the windows
// redraw from the models afterwards in any case.
void RunHandler(Desktop& desktop, const std::function<void()>& handler);

}  // namespace talvenor
