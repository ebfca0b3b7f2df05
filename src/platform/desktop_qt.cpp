#include "platform/desktop_qt.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/app_icon_qt.h"
#include "platform/text_qt.h"

// The skins' pictures live in this static library; the linker keeps them
// only when they are initialised by name, from outside any namespace.
static void InitSkinResources() {
    Q_INIT_RESOURCE(skin_images);
}

namespace talvenor {

QString ApplicationTitle() {
    return QString::fromUtf8("Talvenor 全本小说") + QString(60, QLatin1Char(' '));
}

QtDesktop::QtDesktop(QObject* parent) : QObject(parent), tray_(new QSystemTrayIcon(AppIcon(), this)) {
    static const bool skinPictures = (InitSkinResources(), true);
    (void)skinPictures;
    tray_->setToolTip(QString::fromUtf8("Talvenor全本小说阅读器@_@"));
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Only the left button brings a window back; other clicks are ignored.
        // Qt calls a left press a double click when an earlier click on
        // another window fell at the same spot just before (the tray icon
        // appears where the pointer rests), so that press counts too.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit trayClicked();
    });
}

QtDesktop::~QtDesktop() {
    // Work still aside ends before the program does; its done is dropped
    // with the queue.
    for (auto& [id, thread] : asideThreads_) thread.join();
}

QWidget* QtDesktop::DialogParent() const {
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible()) return active;
    return main_ && main_->isVisible() ? main_.data() : nullptr;
}

void QtDesktop::Changed() {
    if (OnMainThread())
        emit changed();
    else
        Post([this] { emit changed(); });
}

void QtDesktop::Abandon() {
    abandoned_ = true;
}

bool QtDesktop::RunOnMain(const std::function<void()>& fn) {
    struct Call {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto call = std::make_shared<Call>();
    Post([call, fn] {
        fn();
        std::lock_guard<std::mutex> lock(call->mutex);
        call->finished = true;
        call->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(call->mutex);
    // Looks now and then whether the program is ending: the main thread may
    // never take the call then.
    while (!call->done.wait_for(lock, std::chrono::milliseconds(100), [&] { return call->finished; }))
        if (abandoned_) return false;
    return true;
}

bool QtDesktop::Ask(const std::string& caption, const std::string& text) {
    if (!OnMainThread()) {
        // Shared with the call: a thread that stopped waiting (abandoned)
        // leaves it to the main thread.
        auto yes = std::make_shared<bool>(false);
        if (!RunOnMain([this, yes, caption, text] {
                *yes = Ask(caption, text);
                emit answeredForThread(*yes);
            }))
            return false;
        return *yes;
    }
    emit changed();  // the windows show what the model holds before the question
    QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No,
                    DialogParent());
    box.setTextFormat(Qt::PlainText);  // texts carry names and addresses from sites
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDesktop::Message(const std::string& text) {
    if (!OnMainThread()) {
        RunOnMain([this, text] { Message(text); });
        return;
    }
    emit changed();
    QMessageBox box(QMessageBox::Information, ApplicationTitle(), Q(text), QMessageBox::Ok, DialogParent());
    box.setTextFormat(Qt::PlainText);  // texts carry names and addresses from sites
    box.exec();
}

bool QtDesktop::Prompt(const std::string& caption, const std::string& prompt, std::string& value) {
    if (!OnMainThread()) {
        auto answer = std::make_shared<std::pair<bool, std::string>>(false, value);
        if (!RunOnMain([this, answer, caption, prompt] {
                answer->first = Prompt(caption, prompt, answer->second);
                emit answeredForThread(answer->first && !answer->second.empty());
            }))
            return false;
        if (answer->first) value = answer->second;
        return answer->first;
    }
    emit changed();
    QInputDialog dialog(DialogParent());
    dialog.setWindowTitle(Q(caption));
    dialog.setLabelText(Q(prompt));
    dialog.setTextValue(Q(value));
    dialog.setMinimumWidth(360);
    if (dialog.exec() != QDialog::Accepted) return false;
    value = Gbk(dialog.textValue());
    return true;
}

QString QtDesktop::FilterToQt(const std::string& filter) {
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

namespace {

bool RunFileDialog(QWidget* parent, bool save, const std::string& filter, const std::string& initialDir,
                   const std::string& defaultExt, std::string& path) {
    QFileDialog dialog(parent, QString(), QString::fromStdString(initialDir), QtDesktop::FilterToQt(filter));
    // Qt's own dialog: it wears the skin like every other window.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QString ext = QString::fromStdString(defaultExt);
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().first().toStdString();
    return true;
}

}  // namespace

bool QtDesktop::OpenFileDialog(const std::string& filter, const std::string& initialDir,
                               const std::string& defaultExt, std::string& path) {
    emit changed();
    return RunFileDialog(DialogParent(), false, filter, initialDir, defaultExt, path);
}

bool QtDesktop::SaveFileDialog(const std::string& filter, const std::string& initialDir,
                               const std::string& defaultExt, std::string& path) {
    emit changed();
    return RunFileDialog(DialogParent(), true, filter, initialDir, defaultExt, path);
}

bool QtDesktop::ChooseColor(std::uint32_t& rgb) {
    emit changed();
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(rgb | 0xFF000000u), DialogParent());
    if (!chosen.isValid()) return false;
    rgb = chosen.rgb() & 0xFFFFFFu;
    return true;
}

bool QtDesktop::ChooseFont(std::string& face) {
    emit changed();
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, QFont(Q(face)), DialogParent());
    if (!ok) return false;
    face = Gbk(chosen.family());
    return true;
}

QUrl QtDesktop::UrlOf(const std::string& address) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray bytes;
    for (unsigned char c : address) {
        if (c > 0x20 && c < 0x7F) {
            bytes += static_cast<char>(c);
        } else {
            bytes += '%';
            bytes += kHex[c >> 4];
            bytes += kHex[c & 15];
        }
    }
    return QUrl::fromEncoded(bytes, QUrl::TolerantMode);
}

bool QtDesktop::OpenUrl(const std::string& address) {
    const QUrl url = UrlOf(address);
    return url.isValid() && QDesktopServices::openUrl(url);
}

namespace {

// Qt tells of a style sheet it cannot parse only by a warning while it
// styles a widget; the warnings of one probe are caught here.
bool gParseFailed = false;
QtMessageHandler gPreviousHandler = nullptr;

void CatchParseWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QLatin1String("Could not parse"))) {
        gParseFailed = true;
        return;
    }
    if (gPreviousHandler) gPreviousHandler(type, context, message);
}

}  // namespace

bool QtDesktop::StyleSheetParses(const QString& styleSheet) {
    gParseFailed = false;
    gPreviousHandler = qInstallMessageHandler(CatchParseWarnings);
    {
        QWidget probe;
        probe.setStyleSheet(styleSheet);
        probe.ensurePolished();
    }
    qInstallMessageHandler(gPreviousHandler);
    gPreviousHandler = nullptr;
    return !gParseFailed;
}

bool QtDesktop::ApplySkin(const std::string& styleSheet) {
    const QString sheet = QString::fromUtf8(styleSheet.data(), static_cast<qsizetype>(styleSheet.size()));
    if (!sheet.isEmpty() && !StyleSheetParses(sheet)) return false;
    qApp->setStyleSheet(sheet);
    return true;
}

bool QtDesktop::AddTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    iconForMessage_ = false;
    tray_->show();
    return true;
}

void QtDesktop::RemoveTrayIcon() {
    iconForMessage_ = false;
    tray_->hide();
}

void QtDesktop::TrayMessage(const std::string& title, const std::string& text) {
    const QString t = Q(title), body = Q(text);
    trayMessages_.push_back({t, body});
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    if (!tray_->isVisible()) {
        iconForMessage_ = true;
        tray_->show();
        QTimer::singleShot(kMessageMs, this, [this] {
            if (iconForMessage_) tray_->hide();
            iconForMessage_ = false;
        });
    }
    tray_->showMessage(t, body, QSystemTrayIcon::Information, kMessageMs);
}

void QtDesktop::RunBlocking(const std::function<void()>& work) {
    std::exception_ptr failure;
    QEventLoop loop;
    ++blocking_;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Painting, timers and the work posted by other threads go on; clicks and
    // keys wait until the work is done, so no other command starts meanwhile.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (--blocking_ == 0) emit blockingEnded();
    if (failure) std::rethrow_exception(failure);
}

void QtDesktop::RunAside(std::function<void()> work, std::function<void()> done) {
    const unsigned id = ++asideIds_;
    ++aside_;
    asideThreads_[id] = std::thread([this, id, work = std::move(work), done = std::move(done)]() mutable {
        work();
        Post([this, id, done = std::move(done)] {
            auto thread = asideThreads_.find(id);
            if (thread != asideThreads_.end()) {
                thread->second.join();  // it has posted this, its last act
                asideThreads_.erase(thread);
            }
            --aside_;
            std::exception_ptr failure;
            try {
                done();
            } catch (...) {
                failure = std::current_exception();
            }
            if (failure && !failureHandler_) std::rethrow_exception(failure);
            if (failure) failureHandler_(failure);
            emit changed();
            RunDeferred();
        });
    });
}

bool QtDesktop::DeferWhileAside(std::function<void()> command) {
    if (aside_ == 0) return false;
    deferred_.push_back(std::move(command));
    return true;
}

void QtDesktop::RunDeferred() {
    while (aside_ == 0 && !deferred_.empty()) {
        std::function<void()> command = std::move(deferred_.front());
        deferred_.pop_front();
        command();
    }
}

void QtDesktop::Post(std::function<void()> fn) {
    // Queued to this object: work still queued when it goes is dropped.
    QMetaObject::invokeMethod(
        this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

bool QtDesktop::OnMainThread() const {
    return QThread::currentThread() == thread();
}

}  // namespace talvenor
