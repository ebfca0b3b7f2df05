// The program with its real windows in a fresh home, talking to the demo
// sites on a free loopback port.  Modal boxes, prompts and file dialogs are
// answered from a script by finding the active modal window, as a user
// would: the test sees exactly the captions and texts a user sees.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/book_panel_widget.h"
#include "app/catalogue_window.h"
#include "app/program.h"
#include "app/program_windows_qt.h"
#include "app/progress_window.h"
#include "app/search_panel_widget.h"
#include "catalogue/app_paths.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/progress_form.h"
#include "catalogue/sites.h"
#include "catalogue/store.h"
#include "demo_sites.h"
#include "net/site_hosts.h"
#include "platform/desktop_qt.h"
#include "platform/text_qt.h"
#include "platform/wait_qt.h"
#include "reader/reader_form.h"
#include "test_home.h"
#include "text/encoding.h"
#include "text/files.h"

using talvenor::WaitFor;

inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}
inline QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Answers the modal windows of the program, in the order they come.
class ModalAnswerer : public QObject {
  public:
    struct Seen {
        QString title;  // caption
        QString text;   // message, or a prompt's label
        QString value;  // a prompt's starting value
    };
    std::vector<Seen> seen;

    ModalAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start(5);
    }
    // The answer to the next modal window.
    void Yes() {
        Push([](QWidget* w) { Click(w, QMessageBox::Yes); });
    }
    void No() {
        Push([](QWidget* w) { Click(w, QMessageBox::No); });
    }
    void Ok() {
        Push([](QWidget* w) { Click(w, QMessageBox::Ok); });
    }
    void Type(const QString& text) {
        Push([text](QWidget* w) {
            if (auto* d = qobject_cast<QInputDialog*>(w)) {
                d->setTextValue(text);
                d->accept();
            }
        });
    }
    void Cancel() {
        Push([](QWidget* w) {
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        });
    }
    void ChooseFile(const QString& path) {
        Push([path](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) {
                d->selectFile(path);
                static_cast<QDialog*>(d)->accept();
            }
        });
    }
    // Any other answer: the action gets the modal window.
    void Do(std::function<void(QWidget*)> action) { Push(std::move(action)); }
    // Also answers every later one the same way (a message box with OK).
    void AlwaysOk() { always_ = true; }
    bool Idle() const { return actions_.empty(); }
    // The texts seen so far.
    QStringList Texts() const {
        QStringList out;
        for (const auto& s : seen) out << s.text;
        return out;
    }
    // Waits until n modal windows were answered.
    bool WaitSeen(size_t n, int ms = 20000) {
        return WaitFor([&] { return seen.size() >= n; }, ms);
    }

  private:
    void Push(std::function<void(QWidget*)> action) { actions_.push_back(std::move(action)); }
    static void Click(QWidget* w, QMessageBox::StandardButton which) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (QAbstractButton* b = box->button(which)) b->click();
        }
    }
    void Look() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w->property("answered").toBool()) return;
        Seen s;
        s.title = w->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(w)) s.text = box->text();
        if (auto* d = qobject_cast<QInputDialog*>(w)) {
            s.text = d->labelText();
            s.value = d->textValue();
        }
        if (actions_.empty() && !always_) {
            // Nobody expected it: after a while it is closed, so that the
            // test fails on what it finds instead of waiting for ever.
            if (!unexpected_.isValid()) unexpected_.start();
            if (unexpected_.elapsed() < 10000) return;
            s.text = QStringLiteral("UNEXPECTED: ") + s.text;
            ADD_FAILURE() << "unexpected modal window: " << s.title.toStdString() << " "
                          << s.text.toStdString();
            w->setProperty("answered", true);
            seen.push_back(s);
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
            unexpected_.invalidate();
            return;
        }
        unexpected_.invalidate();
        w->setProperty("answered", true);
        seen.push_back(s);
        if (actions_.empty()) {
            Click(w, QMessageBox::Ok);
            return;
        }
        auto action = std::move(actions_.front());
        actions_.pop_front();
        action(w);
    }

    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> actions_;
    QElapsedTimer unexpected_;
    bool always_ = false;
};

class GuiTest : public ::testing::Test {
  protected:
    TestHome home;
    talvenor::demo::DemoSites sites{AnyPort()};
    talvenor::AppPaths paths = talvenor::AppPaths::ForAppDir(home.dir());
    std::unique_ptr<talvenor::ProgramWindows> windows;
    ModalAnswerer modal;
    std::string hostProblems;

    void SetUp() override {
        ASSERT_TRUE(sites.Start());
        hostProblems = talvenor::PrepareAppDirs(paths);
        talvenor::SetHosts(sites.hosts());
    }
    void TearDown() override {
        windows.reset();
        qApp->setStyleSheet(QString());
        talvenor::SetHosts(talvenor::SiteHosts::Demo());
    }

    talvenor::ProgramWindows& Start(std::vector<std::string> args = {}) {
        windows = std::make_unique<talvenor::ProgramWindows>(paths, std::move(args));
        windows->Show(hostProblems);
        return *windows;
    }
    talvenor::CatalogueWindow& cat() { return windows->catalogue(); }
    talvenor::ProgressWindow& progress() { return windows->progress(); }
    talvenor::TForm1& f1() { return *windows->program().form1; }
    talvenor::TForm2& f2() { return *windows->program().form2; }
    talvenor::TForm4& f4() { return *windows->program().form4; }
    talvenor::demo::DemoContent& content() { return sites.content(); }

    // The rows a list view shows.
    static QStringList Rows(QListView* view) {
        QStringList rows;
        QAbstractItemModel* m = view->model();
        for (int i = 0; i < m->rowCount(); ++i) rows << m->data(m->index(i, 0)).toString();
        return rows;
    }
    static int CurrentRow(QListView* view) {
        return view->currentIndex().isValid() && view->selectionModel()->isSelected(view->currentIndex())
                   ? view->currentIndex().row()
                   : -1;
    }
    static void ClickRow(QListView* view, int row) {
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }
    static void DoubleClickRow(QListView* view, int row) {
        const QRect r = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }
    // Typing text, Chinese included, as an input method hands it over.
    static void Type(QWidget* edit, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &release);
    }
    // A stored catalogue file of a site (names given in UTF-8).
    void Store(const char* site, const char* file, const std::vector<std::string>& items) {
        const std::string label = talvenor::G(site);
        talvenor::MakeDirs(talvenor::SiteFolder(paths.appDir, label));
        talvenor::StringList gbk;
        for (const auto& s : items) gbk.push_back(talvenor::G(s.c_str()));
        talvenor::SaveList(talvenor::SiteFilePath(paths.appDir, label, talvenor::G(file)), gbk);
    }
    // A demo category's book list, fetched by the update button as a user does.
    void UpdateCategory(int row) {
        ClickRow(cat().ListBox1, row);
        modal.Yes();
        QTest::mouseClick(cat().pBtn3, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !f4().window.visible && cat().isVisible(); }));
    }

  private:
    static talvenor::demo::DemoOptions AnyPort() {
        talvenor::demo::DemoOptions options;
        options.port = 0;
        return options;
    }
};
