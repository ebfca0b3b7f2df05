#include "platform/list_model_qt.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QTimer>

#include "platform/text_qt.h"

namespace talvenor {

ListModelAdapter::ListModelAdapter(ListModel& list, QObject* parent)
    : QAbstractListModel(parent), list_(list), rows_(list.Count()) {
    list_.onChange = [this](const ListChange& change) { OnChange(change); };
}

ListModelAdapter::~ListModelAdapter() {
    list_.onChange = nullptr;
}

int ListModelAdapter::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant ListModelAdapter::data(const QModelIndex& index, int role) const {
    // The list changes before its notice arrives: a view asking about a row
    // that is already gone gets nothing.
    if (!index.isValid() || index.row() >= list_.Count()) return QVariant();
    if (role == Qt::DisplayRole) {
        const std::string& item = list_.items[static_cast<size_t>(index.row())];
        return list_.decoration ? Q(item + list_.decoration(index.row())) : Q(item);
    }
    return QVariant();
}

void ListModelAdapter::OnChange(const ListChange& change) {
    switch (change.kind) {
        case ListChange::kReset:
            beginResetModel();
            rows_ = list_.Count();
            endResetModel();
            emit selectionMoved(list_.itemIndex);
            break;
        case ListChange::kInserted:
            if (change.count <= 0) break;
            beginInsertRows(QModelIndex(), change.first, change.first + change.count - 1);
            rows_ += change.count;
            endInsertRows();
            break;
        case ListChange::kRemoved:
            if (change.count <= 0) break;
            beginRemoveRows(QModelIndex(), change.first, change.first + change.count - 1);
            rows_ -= change.count;
            endRemoveRows();
            break;
        case ListChange::kChanged:
            if (change.count <= 0) break;
            emit dataChanged(index(change.first), index(change.first + change.count - 1), {Qt::DisplayRole});
            break;
        case ListChange::kSelected:
            emit selectionMoved(change.first);
            break;
    }
}

ListViewBinding::ListViewBinding(QListView* view, ListModel& list, std::function<void()> userClicked,
                                 std::function<void()> userDoubleClicked)
    : QObject(view),
      view_(view),
      viewport_(view->viewport()),
      adapter_(new ListModelAdapter(list, this)),
      clicked_(std::move(userClicked)),
      doubleClicked_(std::move(userDoubleClicked)) {
    // Rows of one height: a list of 100 000 books lays out at once.
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setModel(adapter_);
    viewport_->installEventFilter(this);
    connect(adapter_, &ListModelAdapter::selectionMoved, this, &ListViewBinding::ShowSelection);
    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                // The mouse is handled on release (clicked), like a click on the
                // row already chosen; keys move the selection here.
                if (programmatic_ || pressing_) return;
                UserChose(current.isValid() ? current.row() : -1);
            });
    connect(view_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) UserChose(index.row());
    });
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid()) return;
        adapter_->list().Select(index.row());
        if (doubleClicked_) doubleClicked_();
    });
    ShowSelection(list.itemIndex);
}

bool ListViewBinding::eventFilter(QObject* watched, QEvent* event) {
    // Compared with the pointer kept, not asked of the view: the viewport's
    // last events come while the view is already being destroyed.
    if (watched == viewport_) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            pressing_ = true;
        } else if (event->type() == QEvent::ContextMenu) {
            // The right button's release goes to the menu: the row it chose
            // is taken now.
            pressing_ = false;
            const QModelIndex current = view_->currentIndex();
            if (current.isValid() && current.row() != adapter_->list().itemIndex) UserChose(current.row());
        } else if (event->type() == QEvent::MouseButtonRelease) {
            pressing_ = false;
            // A press dragged to another row ends without a click: the row
            // the view shows as chosen is the one chosen.
            QTimer::singleShot(0, this, [this] {
                const QModelIndex current = view_->currentIndex();
                if (current.isValid() && current.row() != adapter_->list().itemIndex)
                    UserChose(current.row());
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void ListViewBinding::ShowSelection(int row) {
    programmatic_ = true;
    if (row < 0 || row >= adapter_->rowCount()) {
        view_->selectionModel()->clear();
    } else {
        const QModelIndex index = adapter_->index(row);
        view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(index);
    }
    programmatic_ = false;
}

void ListViewBinding::UserChose(int row) {
    ListModel& list = adapter_->list();
    if (row != list.itemIndex) {
        programmatic_ = true;
        list.Select(row);
        programmatic_ = false;
    }
    if (row >= 0 && clicked_) clicked_();
}

}  // namespace talvenor
