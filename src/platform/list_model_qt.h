// A list of the core (ListModel) as a Qt item model, and the binding of a
// QListView to it.
//
// The adapter follows the list's change notices row by row: a book that a
// download adds is one inserted row, never a reset of 100 000.  The binding
// keeps the view's current row and the list's selection in step, and tells
// the window when the user (not the program) chose a row.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <functional>

#include "catalogue/list_model.h"

namespace talvenor {

class ListModelAdapter : public QAbstractListModel {
    Q_OBJECT
  public:
    ListModelAdapter(ListModel& list, QObject* parent = nullptr);
    ~ListModelAdapter() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    ListModel& list() const { return list_; }

  signals:
    // The list's selection moved (-1: nothing selected).
    void selectionMoved(int row);

  private:
    void OnChange(const ListChange& change);

    ListModel& list_;
    int rows_;
};

// Shows a list in a view.  userClicked runs after the user chose a row with
// the mouse or the keys (the list's selection already moved); userDoubleClicked
// after a double click on a row.
class ListViewBinding : public QObject {
    Q_OBJECT
  public:
    ListViewBinding(QListView* view, ListModel& list, std::function<void()> userClicked = {},
                    std::function<void()> userDoubleClicked = {});

    ListModelAdapter* adapter() const { return adapter_; }
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowSelection(int row);
    void UserChose(int row);

    QListView* view_;
    QWidget* viewport_;
    ListModelAdapter* adapter_;
    std::function<void()> clicked_, doubleClicked_;
    bool programmatic_ = false;
    bool pressing_ = false;
};

}  // namespace talvenor
