// Auto-scroll and the page-turn effects: the scroll timer's state and its
// tick, the step and speed prompts, and how each effect mode shows a page.
#include "catalogue/desktop.h"
#include "catalogue/sites.h"
#include "reader/reader_form.h"
#include "text/numbers.h"

namespace talvenor {

namespace {

// The number typed into a prompt; text that is not one changes nothing.
void AskNumber(Desktop& desktop, const std::string& caption, const std::string& prompt, int& value) {
    std::string text = std::to_string(value);
    if (!desktop.Prompt(caption, prompt, text)) return;
    try {
        value = ParseDecimal(text);
    } catch (const ConversionError&) {
    }
}

}  // namespace

void TForm2::TimerChanged() {
    if (timerChanged) timerChanged();
}

void TForm2::N16Click() {
    if (ScrollStopped) {
        prefs.N16.caption = G("停止滚屏");
        StartScroll();
    } else {
        prefs.N16.caption = G("滚屏");
        ScrollStopped = true;
        Timer1.enabled = false;
        TimerChanged();
    }
    Changed();
}

void TForm2::StartScroll() {
    ScrollStopped = false;
    Timer1.interval = prefs.ScrollInterval;
    Timer1.enabled = true;
    TimerChanged();
}

void TForm2::N17Click() {
    AskNumber(program_.desktop, G("间距设置       "), G("输入每次滚屏的间距        "), prefs.ScrollStep);
}

void TForm2::N18Click() {
    // A running scroll keeps its interval until it is started again.
    AskNumber(program_.desktop, G("速度设置       "), G("输入滚屏的速度        "), prefs.ScrollInterval);
}

void TForm2::Timer1Timer() {
    if (ScrollStopped) {
        Timer1.enabled = false;
        TimerChanged();
        return;
    }
    // Before the first chapter there is no page to read the heights from.
    PageMetrics m;
    if (!readPage || !readPage(m)) return;
    // At the end of the page the timer keeps running, so that a longer page
    // shown later scrolls on by itself.
    if (static_cast<long long>(m.scrollTop) + m.offsetHeight < m.scrollHeight && scrollPage)
        scrollPage(0, prefs.ScrollStep);
}

void TForm2::DisplayPage() {
    if (prefs.N23.checked) {
        if (displayPage) displayPage();
        return;
    }
    // The varied effect takes its style from a counter that runs over the
    // 172 styles and survives changes of the mode; the normal effect keeps
    // the style last set (14 after 上一页, 15 after 下一页 and at start).
    if (prefs.N24.checked) {
        if (prefs.N24.tag >= 172 || prefs.N24.tag < 0) prefs.N24.tag = 0;
        PicShow1Style = prefs.N24.tag;
        ++prefs.N24.tag;
    }
    if (showEffect)
        showEffect(PicShow1Style);
    else if (displayPage)
        displayPage();
}

}  // namespace talvenor
