// The book panel of the catalogue window: the full book list ListBox2 and
// the filtered list ListBox3 in one place, one of them shown; the context
// menu 更新小说简介; the book's introduction as the lists' hint.
#pragma once

#include <QListView>
#include <QWidget>
#include <string>

namespace talvenor {

class Desktop;
class ListViewBinding;
class TForm1;

class BookPanel : public QWidget {
    Q_OBJECT
  public:
    BookPanel(TForm1& form, Desktop& desktop, QWidget* parent = nullptr);

    // Shows what the model holds: which list, and a hint that changed while
    // it is shown.
    void Sync();
    // The hint (GBK, lines ended by CR LF) as a tooltip shows it.
    static QString HintHtml(const std::string& hint);
    // The entry of the row at a point of the list's viewport when the row
    // cannot show it whole; empty otherwise.
    static QString CutEntryAt(QListView* list, const QPoint& at);
    // The tooltip over a book: the whole entry when it is cut off, and the
    // introduction (the lists' hint); empty for none.
    static QString TipHtml(const QString& cutEntry, const std::string& hint);

    QListView* ListBox2;
    QListView* ListBox3;
    QAction* N23;  // 更新小说简介

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QListView* AddList(const char* name);
    const std::string& ShownHint() const;

    TForm1& form_;
    Desktop& desktop_;
    ListViewBinding* binding2_;
    ListViewBinding* binding3_;
    std::string tipShown_;
};

}  // namespace talvenor
