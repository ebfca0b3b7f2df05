// The catalogue window TForm1: menus, the button bar, the category panel or
// the search panel, the book panel and the status line.  It only shows the
// model (TForm1 of the core) and hands every command to it.
#pragma once

#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QPushButton>
#include <functional>
#include <vector>

namespace talvenor {

struct ProgramState;
class BookPanel;
class QtDesktop;
class SearchPanel;
class TForm1;

class CatalogueWindow : public QMainWindow {
    Q_OBJECT
  public:
    CatalogueWindow(ProgramState& program, TForm1& form, QtDesktop& desktop);

    // "Talvenor 全本小说阅读器 V1.4.3.2", 27 blanks, "@_@", 22 blanks.
    static QString Caption();
    // Shows what the model holds.
    void Sync();

    // The menus' items, by their names.  The shops' items carry their tag
    // (0, 1, 2) as data.
    QAction *N2, *N29, *N8, *N21, *N14, *N30;
    // The sites added by rule files, after the five (named "site_KEY").
    std::vector<QAction*> addedSiteItems;
    QAction *N17, *N12, *N11, *N22;
    QAction *N16, *N20;
    std::vector<QAction*> shopItems;
    // The button bar.
    QPushButton *pBtn3, *PBtn4, *PBtnLv, *PBtnOpen;
    QWidget* PanelLeft1;
    QListView* ListBox1;
    SearchPanel* PanelLeft2;
    BookPanel* Panel5;
    QLabel* PanelStatus;

  signals:
    // The window is closing, which ends the program.
    void closing();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void BuildMenus();
    QWidget* BuildBody();
    QAction* AddItem(QMenu* menu, const char* name, const char* caption, std::function<void()> handler);
    QPushButton* AddButton(const char* name, const char* caption, void (TForm1::*handler)());
    void Run(const std::function<void()>& handler);

    ProgramState& program_;
    TForm1& form_;
    QtDesktop& desktop_;
    bool shownOnce_ = false;
};

}  // namespace talvenor
