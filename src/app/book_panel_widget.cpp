#include "app/book_panel_widget.h"

#include <QAction>
#include <QCursor>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>
#include <QVBoxLayout>
#include <functional>

#include "app/application_qt.h"
#include "catalogue/catalogue_form.h"
#include "platform/hint_style_qt.h"
#include "platform/list_model_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

BookPanel::BookPanel(TForm1& form, Desktop& desktop, QWidget* parent)
    : QWidget(parent), form_(form), desktop_(desktop) {
    setObjectName(QStringLiteral("Panel5"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ListBox2 = AddList("ListBox2");
    ListBox3 = AddList("ListBox3");
    layout->addWidget(ListBox2);
    layout->addWidget(ListBox3);

    // Bound, not captured in a lambda (see SearchPanel::Run).
    auto run = [this](void (TForm1::*handler)()) {
        std::function<void()> call = std::bind(handler, &form_);
        return [this, call] { RunHandler(desktop_, call); };
    };
    binding2_ = new ListViewBinding(ListBox2, form_.ListBox2, run(&TForm1::ListBox2Click),
                                    run(&TForm1::PanelOpenClick));
    binding3_ = new ListViewBinding(ListBox3, form_.ListBox3, run(&TForm1::ListBox3Click),
                                    run(&TForm1::PanelOpenClick));

    N23 = new QAction(QString::fromUtf8("更新小说简介"), this);
    N23->setObjectName(QStringLiteral("N23"));
    connect(N23, &QAction::triggered, this, run(&TForm1::N23Click));
    for (QListView* list : {ListBox2, ListBox3}) {
        list->setContextMenuPolicy(Qt::ActionsContextMenu);
        list->addAction(N23);
    }
    Sync();
}

QListView* BookPanel::AddList(const char* name) {
    auto* list = new QListView(this);
    list->setObjectName(QString::fromLatin1(name));
    list->viewport()->installEventFilter(this);
    return list;
}

const std::string& BookPanel::ShownHint() const {
    return form_.ListBox2.visible ? form_.ListBox2.hint : form_.ListBox3.hint;
}

QString BookPanel::HintHtml(const std::string& hint) {
    QString text = Q(hint).trimmed().toHtmlEscaped();
    text.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text + QStringLiteral("</p>");
}

QString BookPanel::CutEntryAt(QListView* list, const QPoint& at) {
    const QModelIndex index = list->indexAt(at);
    if (!index.isValid()) return QString();
    const QString entry = index.data().toString();
    // The text with the item's margins against the room left of the edge.
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const int needed = list->fontMetrics().horizontalAdvance(entry) + 2 * margin;
    const int room = list->viewport()->width() - list->visualRect(index).left();
    return needed > room ? entry : QString();
}

QString BookPanel::TipHtml(const QString& entry, const std::string& hint) {
    if (entry.isEmpty()) return hint.empty() ? QString() : HintHtml(hint);
    // The whole entry first (a 飞库 title stands after state and date and runs
    // past the list's edge), then the introduction, if any.
    QString html =
        QStringLiteral("<p style='white-space:pre'>") + entry.toHtmlEscaped() + QStringLiteral("</p>");
    if (!hint.empty()) html += QStringLiteral("<hr>") + HintHtml(hint);
    return html;
}

bool BookPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip &&
        (watched == ListBox2->viewport() || watched == ListBox3->viewport())) {
        auto* help = static_cast<QHelpEvent*>(event);
        QListView* list = watched == ListBox2->viewport() ? ListBox2 : ListBox3;
        const std::string& hint = ShownHint();
        const QString tip = TipHtml(CutEntryAt(list, help->pos()), hint);
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, static_cast<QWidget*>(watched), QRect(), kHintShowMs);
            tipShown_ = hint;
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BookPanel::Sync() {
    ListBox2->setVisible(form_.ListBox2.visible);
    ListBox3->setVisible(!form_.ListBox2.visible && form_.ListBox3.visible);
    // An introduction that arrives while its hint is up replaces it at once.
    QListView* shown = form_.ListBox2.visible ? ListBox2 : ListBox3;
    const std::string& hint = ShownHint();
    const QPoint local = shown->viewport()->mapFromGlobal(QCursor::pos());
    if (QToolTip::isVisible() && hint != tipShown_ && !hint.empty() &&
        shown->viewport()->rect().contains(local)) {
        QToolTip::showText(QCursor::pos(), TipHtml(CutEntryAt(shown, local), hint), shown->viewport(),
                           QRect(), kHintShowMs);
        tipShown_ = hint;
    }
}

}  // namespace talvenor
