#pragma once
// Waiting for something the event loop brings about (a page loaded, a window
// shown) while the loop keeps running: for tests, benchmarks and the
// screenshot tool, which drive the windows from outside.
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace talvenor {

// Runs the event loop until done() holds, looking every tickMs; false when
// it did not hold within ms.
inline bool WaitFor(const std::function<bool()>& done, int ms = 30000, int tickMs = 5) {
    if (done()) return true;
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    tick.start(tickMs);
    loop.exec();
    return done();
}

}  // namespace talvenor
