// Two reader pages that differ everywhere: a light one with dark lines of
// "text" and a dark one with light text at other places, for the transition
// tests and benchmarks.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdint>

namespace talvenor::testing {

inline QImage TextPage(int w, int h, bool dark) {
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(dark ? QColor(28, 34, 52) : QColor(250, 246, 232));
    QPainter p(&page);
    const QColor ink = dark ? QColor(214, 208, 180) : QColor(46, 46, 46);
    const int line = std::max(1, dark ? h / 14 : h / 18), margin = w / (dark ? 12 : 8);
    uint32_t seed = dark ? 7 : 3;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % uint32_t(n));
    };
    // A heading, then lines of words of random length.
    p.fillRect(margin, line, w / 3, line * 2 / 3, dark ? QColor(240, 170, 60) : QColor(170, 30, 30));
    for (int y = line * 3; y + line < h; y += line) {
        for (int x = margin + (y / line % 5 == 0 ? line : 0); x < w - margin;) {
            const int word = line / 2 + next(line * 3);
            p.fillRect(x, y, std::min(word, w - margin - x), std::max(2, line / 2), ink);
            x += std::max(1, word + line / 3);
        }
    }
    p.end();
    return page;
}

}  // namespace talvenor::testing
