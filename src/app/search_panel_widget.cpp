#include "app/search_panel_widget.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <stdexcept>
#include <string>

#include "app/application_qt.h"
#include "catalogue/catalogue_form.h"
#include "platform/list_model_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

SearchPanel::SearchPanel(TForm1& form, Desktop& desktop, QWidget* parent)
    : QWidget(parent), form_(form), desktop_(desktop) {
    setObjectName(QStringLiteral("PanelLeft2"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (const auto& site : form_.ComboBox1Items) ComboBox1->addItem(Q(site));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setClearButtonEnabled(true);
    Edit1->installEventFilter(this);
    Button1 = new QPushButton(QString::fromUtf8("搜索"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QString::fromUtf8("添加>>>"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QString::fromUtf8("<<<删除"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    ListBoxLeft = new QListView(this);
    ListBoxLeft->setObjectName(QStringLiteral("ListBoxLeft"));
    new ListViewBinding(ListBoxLeft, form_.ListBoxLeft);
    // The keys of the results are never shown; their selection follows the titles'.

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(ComboBox1);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(Edit1, 1);
    row->addWidget(Button1);
    layout->addLayout(row);
    auto* moves = new QHBoxLayout;
    moves->setSpacing(4);
    moves->addWidget(Button3);
    moves->addWidget(Button2);
    layout->addLayout(moves);
    layout->addWidget(ListBoxLeft, 1);

    // The model always holds what the panel shows, so that a redraw never
    // takes back what the user typed or chose.
    connect(Edit1, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Edit1Text = Gbk(text); });
    connect(ComboBox1, &QComboBox::activated, this, [this](int index) { form_.ComboBox1ItemIndex = index; });
    connect(Button1, &QPushButton::clicked, this, [this] { Run(&TForm1::Button1Click); });
    connect(Edit1, &QLineEdit::returnPressed, this, [this] {
        Commit();
        RunHandler(desktop_, [this] { form_.Edit1KeyPress(13); });
    });
    connect(Button2, &QPushButton::clicked, this, [this] {
        // With no result chosen the lookup of the chosen result fails, and
        // the user is told so as every failure is told, not left wondering.
        const int i = form_.ListBoxLeft.itemIndex;
        if (i < 0 || i >= form_.ListBoxLeft.Count()) {
            RunHandler(desktop_,
                       [i] { throw std::out_of_range("列表索引越界 (" + std::to_string(i) + ")"); });
            return;
        }
        Run(&TForm1::Button2Click);
    });
    connect(Button3, &QPushButton::clicked, this, [this] { Run(&TForm1::Button3Click); });
    Sync();
}

void SearchPanel::Commit() {
    form_.Edit1Text = Gbk(Edit1->text());
    form_.ComboBox1ItemIndex = ComboBox1->currentIndex();
}

void SearchPanel::Run(void (TForm1::*handler)()) {
    Commit();
    // Bound, not captured in a lambda: GCC 12 with the sanitizers miscompiles
    // a lambda that captures a member-function pointer beside `this`.
    RunHandler(desktop_, std::bind(handler, &form_));
}

bool SearchPanel::eventFilter(QObject* watched, QEvent* event) {
    // A click in the search box selects all its text, ready to be typed over.
    if (watched == Edit1 && event->type() == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, Edit1, &QLineEdit::selectAll);
    return QWidget::eventFilter(watched, event);
}

void SearchPanel::Sync() {
    if (ComboBox1->currentIndex() != form_.ComboBox1ItemIndex)
        ComboBox1->setCurrentIndex(form_.ComboBox1ItemIndex);
    const QString text = Q(form_.Edit1Text);
    // Text the model cannot hold (outside GBK) stays as typed until it is used.
    if (Gbk(Edit1->text()) != form_.Edit1Text) Edit1->setText(text);
}

}  // namespace talvenor
