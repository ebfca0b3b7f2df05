#include "app/catalogue_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "app/application_qt.h"
#include "app/book_panel_widget.h"
#include "app/search_panel_widget.h"
#include "catalogue/added_sites.h"
#include "catalogue/catalogue_form.h"
#include "catalogue/program_state.h"
#include "platform/desktop_qt.h"
#include "platform/list_model_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

namespace {
constexpr int kCategoryPanelWidth = 215;
constexpr int kSearchPanelWidth = 200;
}  // namespace

QString CatalogueWindow::Caption() {
    return QString::fromUtf8("Talvenor 全本小说阅读器 V1.4.3.2") + QString(27, QLatin1Char(' ')) +
           QStringLiteral("@_@") + QString(22, QLatin1Char(' '));
}

CatalogueWindow::CatalogueWindow(ProgramState& program, TForm1& form, QtDesktop& desktop)
    : program_(program), form_(form), desktop_(desktop) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(Caption());
    resize(669, 733);
    BuildMenus();
    setCentralWidget(BuildBody());
    PanelStatus = new QLabel(this);
    PanelStatus->setObjectName(QStringLiteral("PanelStatus"));
    statusBar()->addWidget(PanelStatus, 1);
    statusBar()->setSizeGripEnabled(false);

    // The window's own keys; its menus have none.
    auto key = [this](Qt::Key k, std::function<void()> action) {
        auto* shortcut = new QShortcut(QKeySequence(k), this);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    key(Qt::Key_Escape, [this] { close(); });
    key(Qt::Key_F3, [this] { N11->trigger(); });
    key(Qt::Key_F5, [this] { N17->trigger(); });
}

QAction* CatalogueWindow::AddItem(QMenu* menu, const char* name, const char* caption,
                                  std::function<void()> handler) {
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, [this, handler = std::move(handler)] { Run(handler); });
    return item;
}

void CatalogueWindow::BuildMenus() {
    QMenu* sites = menuBar()->addMenu(QString::fromUtf8("网站"));
    N2 = AddItem(sites, "N2", "多玩文学博客", [this] { form_.N2Click(form_.N2); });
    N29 = AddItem(sites, "N29", "*飞库手机电子书", [this] { form_.N29Click(form_.N29); });
    N8 = AddItem(sites, "N8", "小说阅读网", [this] { form_.N8Click(form_.N8); });
    N21 = AddItem(sites, "N21", "言情小说吧", [this] { form_.N21Click(form_.N21); });
    const std::vector<RuleSite> added = AddedSites();
    for (size_t i = 0; i < form_.AddedSiteItems.size() && i < added.size(); ++i) {
        const std::string name = "site_" + added[i]->key;
        QAction* item = AddItem(sites, name.c_str(), added[i]->name.c_str(), [this, i] { form_.AddedSiteClick(i); });
        addedSiteItems.push_back(item);
    }
    sites->addSeparator();
    N14 = AddItem(sites, "N14", "搜书。。。", [this] { form_.N14Click(); });
    N30 = AddItem(sites, "N30", "检查网站", [this] { form_.N30Click(); });

    QMenu* quick = menuBar()->addMenu(QString::fromUtf8("敏捷访问"));
    // Both open the reader at a saved place, through the program.
    N17 = AddItem(quick, "N17", "上次阅读", [this] { program_.reader->N17Click(); });
    N12 = AddItem(quick, "N12", "打开。。。", [this] { program_.reader->N12Click(); });
    N11 = AddItem(quick, "N11", "到论坛看看有没有更新", [this] { form_.N11Click(); });
    N22 = AddItem(quick, "N22", "查看小说推荐", [this] { form_.N22Click(); });

    QMenu* skins = menuBar()->addMenu(QString::fromUtf8("更换皮肤"));
    N16 = AddItem(skins, "N16", "换个皮肤看看", [this] { form_.N16Click(); });
    N20 = AddItem(skins, "N20", "设为默认皮肤", [this] { form_.N20Click(); });

    QMenu* shops = menuBar()->addMenu(QString::fromUtf8("实体书"));
    const char* const captions[] = {"(卓越)搜索书名", "(卓越)搜索作者", "当当搜索"};
    for (int tag = 0; tag < 3; ++tag) {
        QAction* item = AddItem(shops, "N4", captions[tag], [this, tag] { form_.N4Click(tag); });
        item->setObjectName(QStringLiteral("N4_%1").arg(tag));
        item->setData(tag);
        shopItems.push_back(item);
    }
}

QPushButton* CatalogueWindow::AddButton(const char* name, const char* caption, void (TForm1::*handler)()) {
    auto* button = new QPushButton(QString::fromUtf8(caption));
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumHeight(30);
    // Bound, not captured in a lambda (see SearchPanel::Run).
    std::function<void()> call = std::bind(handler, &form_);
    connect(button, &QPushButton::clicked, this, [this, call] { Run(call); });
    return button;
}

QWidget* CatalogueWindow::BuildBody() {
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(8, 8, 8, 4);
    layout->setSpacing(8);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(6);
    pBtn3 = AddButton("pBtn3", "更新所选分类的小说列表", &TForm1::Panel3Click);
    PBtn4 = AddButton("PBtn4", "定位", &TForm1::Panel4Click);
    PBtnLv = AddButton("PBtnLv", "筛选", &TForm1::Panel5Click);
    PBtnOpen = AddButton("PBtnOpen", "打开", &TForm1::PanelOpenClick);
    bar->addWidget(pBtn3, 3);
    bar->addWidget(PBtn4, 1);
    bar->addWidget(PBtnLv, 1);
    bar->addWidget(PBtnOpen, 1);
    layout->addLayout(bar);

    auto* lists = new QHBoxLayout;
    lists->setSpacing(8);
    PanelLeft1 = new QWidget(body);
    PanelLeft1->setObjectName(QStringLiteral("PanelLeft1"));
    PanelLeft1->setFixedWidth(kCategoryPanelWidth);
    auto* categories = new QVBoxLayout(PanelLeft1);
    categories->setContentsMargins(0, 0, 0, 0);
    ListBox1 = new QListView(PanelLeft1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    categories->addWidget(ListBox1);
    new ListViewBinding(
        ListBox1, form_.ListBox1, [this] { Run([this] { form_.ListBox1Click(); }); },
        [this] { Run([this] { form_.Panel3Click(); }); });

    PanelLeft2 = new SearchPanel(form_, desktop_, body);
    PanelLeft2->setFixedWidth(kSearchPanelWidth);
    Panel5 = new BookPanel(form_, desktop_, body);
    lists->addWidget(PanelLeft1);
    lists->addWidget(PanelLeft2);
    lists->addWidget(Panel5, 1);
    layout->addLayout(lists, 1);
    return body;
}

void CatalogueWindow::Run(const std::function<void()>& handler) {
    RunHandler(desktop_, handler);
}

void CatalogueWindow::Sync() {
    PBtnLv->setText(Q(form_.PBtnLvCaption));
    PanelLeft1->setVisible(form_.PanelLeft1Visible && !form_.PanelLeft2Visible);
    PanelLeft2->setVisible(form_.PanelLeft2Visible);
    PanelLeft2->Sync();
    Panel5->Sync();
    PanelStatus->setText(Q(form_.PanelStatus));
    ShowAsModel(this, form_.window.visible, !shownOnce_);
    if (isVisible()) shownOnce_ = true;
}

void CatalogueWindow::closeEvent(QCloseEvent* event) {
    // A handler waiting for a fetch finishes first; the program ends after it.
    if (desktop_.Blocking()) {
        event->ignore();
        connect(&desktop_, &QtDesktop::blockingEnded, this, &QWidget::close, Qt::SingleShotConnection);
        return;
    }
    program_.SystemCommand(kTrayCatalogue, false);
    event->accept();
    emit closing();
}

void CatalogueWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising hides the window to the tray instead.
    if (IsMinimisedNow(this, event))
        QTimer::singleShot(0, this, [this] {
            if (StillMinimised(this)) Run([this] { program_.SystemCommand(kTrayCatalogue, true); });
        });
}

}  // namespace talvenor
