#include "app/progress_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>

#include "app/application_qt.h"
#include "catalogue/program_state.h"
#include "catalogue/progress_form.h"
#include "net/retry_policy.h"
#include "platform/desktop_qt.h"
#include "platform/text_qt.h"

namespace talvenor {

namespace {
constexpr int kTickMs = 50;
}

ProgressWindow::ProgressWindow(ProgramState& program, TForm4& form, QtDesktop& desktop)
    // A fixed size: the title bar offers no maximise button.
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      program_(program),
      form_(form),
      desktop_(desktop) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(Q(form_.Caption));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    layout->addWidget(panel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(3, 14, 8, 15);
    row->setSpacing(0);
    Button1 = new QPushButton(QString::fromUtf8("取消"), panel);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFixedSize(75, 25);
    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedSize(443, 25);
    // A bar without a percentage, as the window has always had.
    ProgressBar1->setTextVisible(false);
    row->addWidget(Button1);
    row->addStretch(1);
    row->addWidget(ProgressBar1);
    setFixedSize(529, 54);

    connect(Button1, &QPushButton::clicked, this, [this] {
        if (cancel_)
            cancel_();
        else
            RunHandler(desktop_, [this] { form_.Button1Click(); });
    });
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &ProgressWindow::ShowProgress);
}

void ProgressWindow::ShowProgress() {
    const ProgressModel& bar = form_.ProgressBar1;
    if (ProgressBar1->minimum() != bar.min || ProgressBar1->maximum() != bar.max)
        ProgressBar1->setRange(bar.min, bar.max);
    ProgressBar1->setValue(bar.position);
    // A page being tried again says so in the bar ("第 2 次重试…").
    const RetryActivity retries = CurrentRetries();
    if (retries.fetches > 0) {
        ProgressBar1->setFormat(Q(RetryText(retries.retry)));
        ProgressBar1->setTextVisible(true);
    } else if (ProgressBar1->isTextVisible()) {
        ProgressBar1->setTextVisible(false);
    }
}

void ProgressWindow::Sync() {
    ShowProgress();
    // Centred every time it is shown.
    ShowAsModel(this, form_.window.visible, true);
    if (isVisible())
        tick_.start();
    else
        tick_.stop();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // Closed by the user: the model decides (the close box sends the program
    // to the tray while the download goes on).
    event->ignore();
    RunHandler(desktop_, [this] {
        program_.SystemCommand(kTrayProgress, false);
        form_.Close();
    });
}

void ProgressWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (IsMinimisedNow(this, event))
        QTimer::singleShot(0, this, [this] {
            if (StillMinimised(this))
                RunHandler(desktop_, [this] { program_.SystemCommand(kTrayProgress, true); });
        });
}

}  // namespace talvenor
