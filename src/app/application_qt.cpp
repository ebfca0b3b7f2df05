#include "app/application_qt.h"

#include <QFontDatabase>
#include <QMessageBox>
#include <QScreen>
#include <QStringDecoder>
#include <QWidget>

#include "catalogue/desktop.h"
#include "platform/app_icon_qt.h"
#include "platform/desktop_qt.h"
#include "platform/hint_style_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

TalvenorApplication::TalvenorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TalvenorApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowFailure(std::current_exception());
        return false;
    }
}

void SetUpApplication(QApplication& app) {
    app.setStyle(new HintStyle);
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
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
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
    box.exec();
}

void RunHandler(Desktop& desktop, const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowFailure(std::current_exception());
    }
    desktop.Changed();
}

}  // namespace talvenor
