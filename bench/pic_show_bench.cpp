// Frame times of the page-turn transitions at 1280 x 800: each style renders
// frames across its whole course (t from 0 to 1), as the control does while a
// page turns. A frame must take well under 20 ms for 50 frames a second.
//
// With --sheet=FILE.png the program instead writes a contact sheet of every
// style at --t=0.37 (or the t given), for looking at the transitions;
// --styles=14,15 picks styles, --cols and --thumb set the layout.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPainter>
#include <cstring>
#include <string>

#include "platform/pic_show.h"
#include "platform/test_pictures.h"

using talvenor::PicShow;

namespace {

constexpr int kWidth = 1280, kHeight = 800;

const QImage& OldPage() {
    static const QImage page = talvenor::testing::TextPage(kWidth, kHeight, false);
    return page;
}

const QImage& NewPage() {
    static const QImage page = talvenor::testing::TextPage(kWidth, kHeight, true);
    return page;
}

// A plain copy of the picture: the least any frame costs.
void BM_Blit(benchmark::State& state) {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&target);
        p.drawImage(0, 0, NewPage());
        p.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_Blit)->Unit(benchmark::kMillisecond);

void BM_Frame(benchmark::State& state) {
    const int style = int(state.range(0));
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    int frame = 0;
    for (auto _ : state) {
        // 40 frames make one transition; t runs through the whole of it.
        const double t = (frame++ % 40 + 0.5) / 40.0;
        QPainter p(&target);
        PicShow::RenderFrame(p, OldPage(), NewPage(), style, t);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetLabel(PicShow::StyleName(style).toStdString());
}
BENCHMARK(BM_Frame)->DenseRange(0, PicShow::kStyleCount - 1)->Unit(benchmark::kMillisecond);

// Counts the frames the control actually paints.
class PaintCounter : public QObject {
  public:
    int frames = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++frames;
        return false;
    }
};

// Whole transitions of the shown control at 1280 x 800, driven by its timer
// as in the reader; reports the frames painted per second.
void BM_ControlTransition(benchmark::State& state) {
    PicShow show;
    show.resize(kWidth, kHeight);
    show.SetStyle(int(state.range(0)));
    show.SetPicture(OldPage());
    show.SetDuration(0);
    show.Execute();
    show.SetDuration(PicShow::kDefaultDuration);
    show.show();
    PaintCounter counter;
    show.installEventFilter(&counter);
    bool even = false;
    for (auto _ : state) {
        show.SetPicture((even = !even) ? NewPage() : OldPage());
        QEventLoop loop;
        QObject::connect(&show, &PicShow::finished, &loop, &QEventLoop::quit);
        show.Execute();
        loop.exec();
    }
    state.counters["fps"] = benchmark::Counter(counter.frames, benchmark::Counter::kIsRate);
    state.SetLabel(PicShow::StyleName(int(state.range(0))).toStdString());
}
BENCHMARK(BM_ControlTransition)
    ->Arg(15)
    ->Arg(105)
    ->Arg(106)
    ->Arg(170)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(4);

int WriteSheet(const QString& path, double t, const QList<int>& styles, int cols, int thumbW) {
    const int kCols = cols, kThumbW = thumbW, kThumbH = thumbW * 5 / 8, kLabel = 18;
    const int rows = (int(styles.size()) + kCols - 1) / kCols;
    QImage sheet(kCols * kThumbW, rows * (kThumbH + kLabel), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QImage oldThumb = talvenor::testing::TextPage(2 * kThumbW, 2 * kThumbH, false);
    const QImage newThumb = talvenor::testing::TextPage(2 * kThumbW, 2 * kThumbH, true);
    for (int i = 0; i < int(styles.size()); ++i) {
        const int s = styles[i];
        const QImage frame = PicShow::Frame(oldThumb, newThumb, s, t);
        const int x = (i % kCols) * kThumbW, y = (i / kCols) * (kThumbH + kLabel);
        p.drawImage(QRect(x + 2, y + 2, kThumbW - 4, kThumbH - 4), frame);
        p.drawText(QRect(x + 2, y + kThumbH, kThumbW - 4, kLabel), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::number(s) + " " + PicShow::StyleName(s));
    }
    p.end();
    return sheet.save(path) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double t = 0.37;
    QString sheet;
    QList<int> styles;
    int cols = 12, thumb = 256;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sheet=", 8) == 0) sheet = QString::fromLocal8Bit(argv[i] + 8);
        if (std::strncmp(argv[i], "--t=", 4) == 0) t = std::stod(argv[i] + 4);
        if (std::strncmp(argv[i], "--cols=", 7) == 0) cols = std::stoi(argv[i] + 7);
        if (std::strncmp(argv[i], "--thumb=", 8) == 0) thumb = std::stoi(argv[i] + 8);
        if (std::strncmp(argv[i], "--styles=", 9) == 0)
            for (const QString& n : QString::fromLatin1(argv[i] + 9).split(',')) styles << n.toInt();
    }
    if (styles.isEmpty())
        for (int s = 0; s < PicShow::kStyleCount; ++s) styles << s;
    if (!sheet.isEmpty()) return WriteSheet(sheet, t, styles, cols, thumb);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
