// The reader window TForm2: the button bar, the chapter list and the mark
// list on the left, the page on the right (the browser, created with the
// first book, and the picture transition PicShow1 beneath it).  It shows the
// model (TForm2 of the core), hands every command to it, and does for it
// what needs the desktop: the browser, the transition, the scroll timer, the
// pop-up menus and the sound.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QKeyEvent;
class QListView;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedLayout;
class QVBoxLayout;

namespace talvenor {

struct ControlState;
struct MenuNode;
struct PageMetrics;
struct ProgramState;
class PageBrowser;
class PicShow;
class QtDesktop;
class ReadAloudQt;
class Sound;
class TForm2;

class ReaderWindow : public QMainWindow {
    Q_OBJECT
  public:
    ReaderWindow(ProgramState& program, TForm2& form, QtDesktop& desktop);
    ~ReaderWindow() override;

    // Points the model's hooks at the window that view() returns, so that
    // the window can be made when it is first needed.
    static void InstallHooks(TForm2& form, const std::function<ReaderWindow&()>& view);

    // Shows what the model holds.
    void Sync();
    // F10 / F11 hand the export of the book (key "F10" or "F11") to this;
    // without it the model exports in place.
    std::function<void(const std::string& key)> exportBook;
    // Sees every key before the reader's own table (reading aloud: F6,
    // Space); true when it took the key.
    std::function<bool(QKeyEvent*)> keyHook;
    // Adds items to PopupMenu1 after the model's (the 朗读 items).
    std::function<void(QMenu*)> extendMenu;
    // No chime while this is set (reading aloud).
    bool chimeOff = false;
    // While a book export runs the window stays hidden and reads nothing of
    // the model, which the export changes on a thread of its own; the scroll
    // timer waits.
    void SetExporting(bool on);
    bool Exporting() const { return exporting_; }

    // The button bar and its buttons (each carries its Tag as the property "Tag").
    QWidget* Panel2;
    QPushButton *btnHide, *BtnSave, *BtnReNew, *BtnBack, *BtnNext, *btn_set;
    QProgressBar* ProgressBar1;
    QSplitter* Splitter1;
    QWidget* Panel1;  // the left panel: ListBox1 or ListBoxMark
    QListView *ListBox1, *ListBoxMark;
    QWidget* Panel7;  // holds the browser
    QWidget* Panel8;  // holds PicShow1
    PicShow* PicShow1;
    QTimer Timer1;
    // Reading aloud (F6, Space, the 朗读 menu items).
    ReadAloudQt* readAloud;
    // The browser; null until the first page is shown.
    PageBrowser* WebBrowser1() const { return browser_; }
    // The pop-up menus while they are open (for the tests).
    QMenu* OpenPopupMenu() const { return popup_; }
    // The page file the browser shows (AppDir "tmp/tmp.htm") and the snapshot.
    QString PagePath() const;
    QString SnapshotPath() const;
    // Whether the page may load pictures from the web: not when reading offline.
    bool WebAllowed() const;

    // The model's hooks.
    void DisplayPage();
    void ShowEffect(int style);
    void NavigateBlank();
    void SetTextZoom(int level);
    void FocusPage();
    void StopBrowser();
    bool ReadPage(PageMetrics& metrics);
    void ScrollPage(int dx, int dy);
    void TimerChanged();
    // PopupMenu1 at the mouse position (also the right click on the bar).
    void PopupMenu();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QWidget* BuildBar();
    QWidget* BuildBody();
    QPushButton* AddButton(const char* name, const ControlState& state, std::function<void()> handler);
    QMenu* BuildMenu(const std::vector<MenuNode>& nodes, QWidget* parent);
    void Popup(QMenu* menu, const QPoint& at);
    void PageTurn(const ControlState& button);
    bool KeyPreview(QKeyEvent* event);
    PageBrowser& Browser();
    // Writes the picture of the page file, rendered off screen at the
    // browser's size, to "tmp/tmp.jpg"; the old picture stays on failure.
    void SnapshotPage();
    void ShowProgress();
    void Run(const std::function<void()>& handler);

    ProgramState& program_;
    TForm2& form_;
    QtDesktop& desktop_;
    QVBoxLayout* layout_;
    QStackedLayout* pageLayers_;
    PageBrowser* browser_ = nullptr;
    Sound* sound_;
    QPointer<QMenu> popup_;
    QTimer progressTick_;
    bool shownOnce_ = false;
    bool ticking_ = false;
    bool exporting_ = false;
    bool keepMaximised_ = false;
};

}  // namespace talvenor
