// The search panel PanelLeft2: the site to search, the title, 搜索, the
// results, and the buttons that move a result into the watch list and out.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QWidget>

namespace talvenor {

class Desktop;
class TForm1;

class SearchPanel : public QWidget {
    Q_OBJECT
  public:
    SearchPanel(TForm1& form, Desktop& desktop, QWidget* parent = nullptr);

    // Shows what the model holds: the chosen site and the search text.
    void Sync();

    QComboBox* ComboBox1;
    QLineEdit* Edit1;
    QPushButton* Button1;  // 搜索
    QPushButton* Button2;  // 添加>>>
    QPushButton* Button3;  // <<<删除
    QListView* ListBoxLeft;

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The typed text and the chosen site go to the model before a handler runs.
    void Commit();
    void Run(void (TForm1::*handler)());

    TForm1& form_;
    Desktop& desktop_;
};

}  // namespace talvenor
