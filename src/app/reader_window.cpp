#include "app/reader_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWindow>

#include "app/application_qt.h"
#include "app/read_aloud_qt.h"
#include "catalogue/program_state.h"
#include "platform/desktop_qt.h"
#include "platform/list_model_qt.h"
#include "platform/page_browser.h"
#include "platform/pic_show.h"
#include "platform/sound.h"
#include "platform/text_qt.h"
#include "reader/reader_form.h"
#include "reader/reader_keys.h"

namespace talvenor {

namespace {

constexpr int kMinListWidth = 100;
constexpr int kProgressTickMs = 50;

// The reader's key codes for Qt's keys; 0 for keys it has no use for.
int ReaderKeyCode(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_M:
            return 77;
        case Qt::Key_T:
            return 84;
        default:
            break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 112 + (key - Qt::Key_F1);
    return 0;
}

}  // namespace

ReaderWindow::ReaderWindow(ProgramState& program, TForm2& form, QtDesktop& desktop)
    : program_(program), form_(form), desktop_(desktop), sound_(new Sound(this)) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(Q(form_.Caption));
    resize(1024, 720);
    auto* central = new QWidget(this);
    layout_ = new QVBoxLayout(central);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    Panel2 = BuildBar();
    layout_->addWidget(Panel2);
    layout_->addWidget(BuildBody(), 1);
    setCentralWidget(central);

    // The window sees every key before its controls (the page included).
    qApp->installEventFilter(this);
    connect(&Timer1, &QTimer::timeout, this, [this] {
        // A tick that waits for the page lets events run; it never runs twice.
        if (ticking_) return;
        ticking_ = true;
        Run([this] { form_.Timer1Timer(); });
        ticking_ = false;
    });
    connect(&desktop_, &QtDesktop::playSound, sound_, [this] {
        if (!chimeOff) sound_->Play();
    });
    readAloud = new ReadAloudQt(program_, form_, *this, desktop_);
    progressTick_.setInterval(kProgressTickMs);
    connect(&progressTick_, &QTimer::timeout, this, &ReaderWindow::ShowProgress);
    TimerChanged();
}

ReaderWindow::~ReaderWindow() {
    Timer1.stop();
    delete popup_;
}

QPushButton* ReaderWindow::AddButton(const char* name, const ControlState& state,
                                     std::function<void()> handler) {
    auto* button = new QPushButton(Q(state.caption));
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("Tag", state.Tag);
    button->setMinimumSize(75, 28);
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this, [this] { PopupMenu(); });
    connect(button, &QPushButton::clicked, this, std::move(handler));
    return button;
}

QWidget* ReaderWindow::BuildBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("Panel2"));
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, this, [this] { PopupMenu(); });
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);
    btnHide = AddButton("btnHide", form_.btnHide, [this] { Run([this] { form_.pHideClick(); }); });
    BtnSave = AddButton("BtnSave", form_.BtnSave, [this] { Run([this] { form_.pSaveClick(); }); });
    BtnReNew = AddButton("BtnReNew", form_.BtnReNew, [this] { Run([this] { form_.BtnReNewClick(); }); });
    BtnBack = AddButton("BtnBack", form_.BtnBack, [this] { PageTurn(form_.BtnBack); });
    BtnNext = AddButton("BtnNext", form_.BtnNext, [this] { PageTurn(form_.BtnNext); });
    btn_set = AddButton("btn_set", form_.btn_set, [this] { Run([this] { form_.btn_setClick(); }); });
    for (QPushButton* b : {btnHide, BtnSave, BtnReNew, BtnBack, BtnNext, btn_set}) {
        // Clicks leave the keyboard focus on the page.
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
    }
    ProgressBar1 = new QProgressBar(bar);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(18);
    row->addWidget(ProgressBar1, 1);
    return bar;
}

QWidget* ReaderWindow::BuildBody() {
    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);

    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMinimumWidth(kMinListWidth);
    auto* lists = new QVBoxLayout(Panel1);
    lists->setContentsMargins(0, 0, 0, 0);
    ListBox1 = new QListView(Panel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBoxMark = new QListView(Panel1);
    ListBoxMark->setObjectName(QStringLiteral("ListBoxMark"));
    lists->addWidget(ListBox1);
    lists->addWidget(ListBoxMark);
    new ListViewBinding(ListBox1, form_.ListBox1, [this] { Run([this] { form_.ListBox1Click(); }); });
    // A click on a chapter leaves the keyboard focus on the page, which
    // takes it back as soon as the chapter shows; taking it for that moment
    // repainted the whole list twice before the page could start to load.
    // Tab still reaches the list.
    ListBox1->setFocusPolicy(Qt::TabFocus);
    new ListViewBinding(ListBoxMark, form_.ListBoxMark, {},
                        [this] { Run([this] { form_.PopMark_openClick(); }); });
    ListBoxMark->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBoxMark, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        Popup(BuildMenu(form_.PopupMenuMark(), this), ListBoxMark->viewport()->mapToGlobal(at));
        popup_->setObjectName(QStringLiteral("PopupMenuMark"));
    });

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("PageArea"));
    pageLayers_ = new QStackedLayout(page);
    Panel7 = new QWidget(page);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    auto* browserLayout = new QVBoxLayout(Panel7);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    Panel8 = new QWidget(page);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    auto* pictureLayout = new QVBoxLayout(Panel8);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    PicShow1 = new PicShow(Panel8);
    PicShow1->setObjectName(QStringLiteral("PicShow1"));
    PicShow1->hide();
    pictureLayout->addWidget(PicShow1);
    pageLayers_->addWidget(Panel7);
    pageLayers_->addWidget(Panel8);
    pageLayers_->setCurrentWidget(Panel7);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(page);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({form_.Panel1Width, 800});
    connect(Splitter1, &QSplitter::splitterMoved, this,
            [this] { Run([this] { form_.Splitter1Moved(Panel1->width()); }); });
    return Splitter1;
}

void ReaderWindow::Run(const std::function<void()>& handler) {
    RunHandler(desktop_, handler);
}

void ReaderWindow::PageTurn(const ControlState& button) {
    bool& busy = form_.PageTurnBusy;
    const bool nested = busy;
    Run([&] { form_.goOnClick(button); });
    if (nested) return;
    // Clicks and keys wait while a chapter is fetched.  Those that came
    // meanwhile came while this page turn was under way: they are taken now,
    // while it still counts as under way, so a second 下一页 is refused as
    // it is during the display.
    const bool after = busy;
    busy = true;
    QCoreApplication::processEvents();
    busy = after;
}

bool ReaderWindow::event(QEvent* event) {
    // The browser's first page makes Qt create the window anew (its drawing
    // surface changes).  The window manager takes the new window for a
    // normal one, so the state it reports next is put right; and the keys go
    // nowhere until the new window is made the active one.
    if (event->type() == QEvent::WinIdChange && internalWinId() && isVisible()) {
        keepMaximised_ = (windowState() & Qt::WindowMaximized) != 0;
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) activateWindow();
        });
    }
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowStateChange && keepMaximised_) {
        // Only the report that follows the new window: the user's own
        // changes later on stand.
        keepMaximised_ = false;
        if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            setWindowState(windowState() | Qt::WindowMaximized);
    }
    return handled;
}

bool ReaderWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible() &&
        static_cast<QWidget*>(watched)->window() == this)
        return KeyPreview(static_cast<QKeyEvent*>(event));
    return QMainWindow::eventFilter(watched, event);
}

bool ReaderWindow::KeyPreview(QKeyEvent* event) {
    if (keyHook && keyHook(event)) return true;
    const int code = ReaderKeyCode(event->key());
    if (code == 0) return false;
    const ReaderAction action = ReaderKeyAction(code);
    if (exportBook &&
        (action == ReaderAction::ExportWithPictures || action == ReaderAction::ExportKeepPictures)) {
        exportBook(action == ReaderAction::ExportWithPictures ? "F10" : "F11");
        return true;
    }
    if (code == 13) {
        PageTurn(form_.BtnNext);
        return true;
    }
    if (code == 17) {
        PageTurn(form_.BtnBack);
        return true;
    }
    bool handled = false;
    Run([&] { handled = form_.FormKeyDown(static_cast<ReaderKey>(code)); });
    return handled;
}

QMenu* ReaderWindow::BuildMenu(const std::vector<MenuNode>& nodes, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const MenuNode& node : nodes) {
        if (node.Separator()) {
            menu->addSeparator();
            continue;
        }
        const QString caption = Q(node.item->caption);
        if (!node.children.empty()) {
            QMenu* sub = BuildMenu(node.children, menu);
            sub->setTitle(caption);
            sub->setObjectName(QString::fromStdString(node.name));
            menu->addMenu(sub)->setObjectName(QString::fromStdString(node.name));
            continue;
        }
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromStdString(node.name));
        // Only a ticked item shows its tick box.
        action->setCheckable(node.item->checked);
        action->setChecked(node.item->checked);
        connect(action, &QAction::triggered, this, [this, click = node.click] {
            if (click) click();
            desktop_.Changed();
        });
    }
    return menu;
}

void ReaderWindow::Popup(QMenu* menu, const QPoint& at) {
    if (popup_) popup_->close();
    popup_ = menu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
}

void ReaderWindow::PopupMenu() {
    QMenu* menu = BuildMenu(form_.PopupMenu1(), this);
    if (extendMenu) extendMenu(menu);
    Popup(menu, QCursor::pos());
    popup_->setObjectName(QStringLiteral("PopupMenu1"));
}

void ReaderWindow::ShowProgress() {
    const ProgressModel& bar = form_.ProgressBar1;
    if (ProgressBar1->minimum() != bar.min || ProgressBar1->maximum() != bar.max)
        ProgressBar1->setRange(bar.min, bar.max);
    ProgressBar1->setValue(bar.position);
}

void ReaderWindow::SetExporting(bool on) {
    exporting_ = on;
    if (on) {
        Timer1.stop();
        progressTick_.stop();
        if (popup_) popup_->close();
    } else {
        TimerChanged();
    }
}

void ReaderWindow::Sync() {
    if (exporting_) return;
    setWindowTitle(Q(form_.Caption));
    const std::pair<QPushButton*, const ControlState*> buttons[] = {
        {btnHide, &form_.btnHide}, {BtnSave, &form_.BtnSave}, {BtnReNew, &form_.BtnReNew},
        {BtnBack, &form_.BtnBack}, {BtnNext, &form_.BtnNext}, {btn_set, &form_.btn_set}};
    for (const auto& [button, state] : buttons) {
        button->setText(Q(state->caption));
        button->setProperty("Tag", state->Tag);
        button->setVisible(state->visible);
    }
    // The bar at the top or at the bottom of the window.
    const int barAt = layout_->indexOf(Panel2);
    const int wanted = form_.Panel2AtBottom ? 1 : 0;
    if (barAt != wanted) {
        layout_->removeWidget(Panel2);
        layout_->insertWidget(wanted, Panel2);
    }
    Panel2->setVisible(form_.Panel2.visible);
    Panel1->setVisible(form_.Panel1.visible);
    ListBox1->setVisible(form_.ListBox1.visible);
    ListBoxMark->setVisible(form_.ListBoxMark.visible);
    ListBoxMark->setBackgroundRole(form_.ListBoxMarkMenuColor ? QPalette::Button : QPalette::Base);
    QPalette marks = ListBoxMark->palette();
    marks.setColor(QPalette::Base, form_.ListBoxMarkMenuColor
                                       ? QApplication::palette("QMenu").color(QPalette::Window)
                                       : QApplication::palette().color(QPalette::Base));
    ListBoxMark->setPalette(marks);
    if (Panel1->isVisible() && Panel1->width() != form_.Panel1Width && form_.Panel1Width >= kMinListWidth) {
        QList<int> sizes = Splitter1->sizes();
        if (sizes.size() == 2) {
            const int total = sizes[0] + sizes[1];
            Splitter1->setSizes({form_.Panel1Width, std::max(0, total - form_.Panel1Width)});
        }
    }
    ShowProgress();

    if (form_.window.visible && !isVisible()) {
        // Opens maximised; without a window manager to do it, the window
        // takes the screen's free area itself.
        if (!shownOnce_)
            if (QScreen* screen = this->screen()) setGeometry(screen->availableGeometry());
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        show();
        raise();
        activateWindow();
        shownOnce_ = true;
    } else if (!form_.window.visible && isVisible()) {
        if (popup_) popup_->close();
        keepMaximised_ = false;
        hide();
    }
    if (isVisible())
        progressTick_.start();
    else
        progressTick_.stop();
}

void ReaderWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    // A handler waiting for a fetch finishes first.
    if (desktop_.Blocking()) {
        connect(&desktop_, &QtDesktop::blockingEnded, this, &QWidget::close, Qt::SingleShotConnection);
        return;
    }
    Run([this] {
        program_.SystemCommand(kTrayReader, false);
        form_.FormClose();
    });
}

void ReaderWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising hides the reader to the tray instead.
    if (IsMinimisedNow(this, event))
        QTimer::singleShot(0, this, [this] {
            if (StillMinimised(this)) Run([this] { program_.SystemCommand(kTrayReader, true); });
        });
}

}  // namespace talvenor
