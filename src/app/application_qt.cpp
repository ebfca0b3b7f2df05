#include "app/application_qt.h"

#include <QEvent>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStringDecoder>
#include <QTranslator>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include "catalogue/desktop.h"
#include "catalogue/store.h"
#include "platform/app_icon_qt.h"
#include "platform/desktop_qt.h"
#include "platform/hint_style_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

TalvenorApplication::TalvenorApplication(int& argc, char** argv) : QApplication(argc, argv) {
    KeepHeapForLongLists();
}

bool TalvenorApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowFailure(std::current_exception());
        return false;
    }
}

bool LoadQtChinese(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

void SetUpApplication(QApplication& app) {
    app.setStyle(new HintStyle);
    // The program speaks Chinese whatever the locale: its questions tell the
    // user to click "否", so Qt's own buttons and dialogs must read so too.
    // Without the translations the buttons stay English and the program runs.
    LoadQtChinese(app);
    // A font drawn for Chinese text, where the desktop has it.
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    if (QFontDatabase::families().contains(cjk)) {
        QFont font(cjk);
        font.setPointSize(10);
        app.setFont(font);
    }
    app.setWindowIcon(AppIcon());
    app.setQuitOnLastWindowClosed(false);
}

void ShowAsModel(QWidget* window, bool visible, bool centre) {
    if (visible == window->isVisible()) return;
    if (!visible) {
        window->hide();
        return;
    }
    if (centre) {
        QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->availableGeometry();
            window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
        }
    }
    // Back from the tray in the state it had before it was minimised.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool IsMinimisedNow(QWidget* window, QEvent* event) {
    if (event->type() != QEvent::WindowStateChange || !window->isMinimized()) return false;
    return !(static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized);
}

bool StillMinimised(QWidget* window) {
    return window->isVisible() && window->isMinimized();
}

QString FailureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        const QByteArray bytes(e.what());
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        return utf8.hasError() ? Q(e.what()) : text;
    } catch (...) {
        return QString::fromUtf8("未知错误");
    }
}

void ShowFailure(const std::exception_ptr& failure) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), FailureText(failure), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void RunHandler(Desktop& desktop, const std::function<void()>& handler) {
    // A command given while a list is read aside runs once it is shown.
    if (desktop.DeferWhileAside([&desktop, handler] { RunHandler(desktop, handler); })) return;
    try {
        handler();
    } catch (...) {
        ShowFailure(std::current_exception());
    }
    desktop.Changed();
}

}  // namespace talvenor
