// The page-turn control as a reader sees it: every numbered style is a
// transition of its own from the old page to the new one, and the control
// animates, reports that it is busy, and ends on the new page.
#include "platform/pic_show.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QSignalSpy>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "platform/jpeg_writer.h"
#include "platform/test_pictures.h"
#include "test_home.h"

using talvenor::PicShow;
using talvenor::testing::TextPage;

namespace {

QImage Rgb32(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// Share of pixels in which a and b differ.
double ShareDiffering(const QImage& a, const QImage& b) {
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) differing += pa[x] != pb[x];
    }
    return double(differing) / (a.width() * a.height());
}

// Mean difference per colour channel.
double Distance(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qRed(pa[x]) - qRed(pb[x])) + std::abs(qGreen(pa[x]) - qGreen(pb[x])) +
                   std::abs(qBlue(pa[x]) - qBlue(pb[x]));
    }
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace

TEST(PicShowStyles, EveryStyleIsAVisibleTransitionOfItsOwn) {
    const QImage oldPage = TextPage(320, 200, false), newPage = TextPage(320, 200, true);
    std::map<QByteArray, int> seen;  // hash of the frame at t = 0.37 -> style
    for (int style = 0; style < PicShow::kStyleCount; ++style) {
        SCOPED_TRACE(std::to_string(style) + " " + PicShow::StyleName(style).toStdString());
        EXPECT_TRUE(PicShow::Frame(oldPage, newPage, style, 0.0) == oldPage);
        EXPECT_TRUE(PicShow::Frame(oldPage, newPage, style, 1.0) == newPage);

        // Under way, a good part of the view is neither page alone.
        const QImage mid = PicShow::Frame(oldPage, newPage, style, 0.37);
        EXPECT_GT(ShareDiffering(mid, oldPage), 0.03);
        EXPECT_GT(ShareDiffering(mid, newPage), 0.03);
        // It runs from the old page towards the new one, not backwards.
        EXPECT_LT(Distance(PicShow::Frame(oldPage, newPage, style, 0.85), newPage),
                  Distance(PicShow::Frame(oldPage, newPage, style, 0.15), newPage));

        const QByteArray hash = QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char*>(mid.constBits()), mid.sizeInBytes()),
            QCryptographicHash::Sha1);
        const auto [it, fresh] = seen.emplace(hash, style);
        EXPECT_TRUE(fresh) << "looks the same as style " << it->second;
    }
    EXPECT_EQ(seen.size(), size_t(PicShow::kStyleCount));
}

TEST(PicShowStyles, PreviousPageComesInFromTheLeftAndNextPageFromTheRight) {
    const QImage oldPage = TextPage(320, 200, false), newPage = TextPage(320, 200, true);
    auto column = [](const QImage& image, int x) { return image.copy(x, 0, 1, image.height()); };
    for (double t : {0.3, 0.6}) {
        SCOPED_TRACE(t);
        const QImage previous = PicShow::Frame(oldPage, newPage, 14, t);
        EXPECT_TRUE(column(previous, 0) == column(newPage, 0));
        EXPECT_TRUE(column(previous, 319) == column(oldPage, 319));
        const QImage next = PicShow::Frame(oldPage, newPage, 15, t);
        EXPECT_TRUE(column(next, 319) == column(newPage, 319));
        EXPECT_TRUE(column(next, 0) == column(oldPage, 0));
    }
    // The new page spreads as the turn goes on.
    EXPECT_LT(ShareDiffering(PicShow::Frame(oldPage, newPage, 15, 0.6), newPage),
              ShareDiffering(PicShow::Frame(oldPage, newPage, 15, 0.3), newPage));
}

TEST(PicShowStyles, OddAndTinyPictureSizesAreDrawnWhole) {
    // The browser area can have any size, down to a sliver; blocks, slats
    // and tiles then do not divide it evenly.
    for (const QSize size : {QSize(333, 207), QSize(7, 3), QSize(1, 1)}) {
        const QImage oldPage = TextPage(size.width(), size.height(), false);
        QImage newPage = oldPage;
        newPage.invertPixels();
        for (int style = 0; style < PicShow::kStyleCount; ++style) {
            SCOPED_TRACE(std::to_string(style) + " at " + std::to_string(size.width()));
            for (double t : {0.01, 0.5, 0.99})
                EXPECT_EQ(PicShow::Frame(oldPage, newPage, style, t).size(), size);
            EXPECT_TRUE(PicShow::Frame(oldPage, newPage, style, 1.0) == newPage);
        }
    }
}

TEST(PicShowStyles, AnOldPictureOfAnotherSizeIsFittedToTheNewOne) {
    // The old view may be a grab of a window of another size.
    const QImage oldPage = TextPage(160, 100, false), newPage = TextPage(320, 200, true);
    const QImage start = PicShow::Frame(oldPage, newPage, 0, 0.0);
    EXPECT_EQ(start.size(), newPage.size());
    EXPECT_LT(Distance(start, Rgb32(oldPage.scaled(320, 200))), 20.0);
    EXPECT_TRUE(PicShow::Frame(oldPage, newPage, 0, 1.0) == newPage);
}

TEST(PicShowControl, ExecuteTurnsFromTheShownPageToTheLoadedOne) {
    TestHome home;
    const QImage oldPage = TextPage(400, 250, false), newPage = TextPage(400, 250, true);
    const std::string jpeg = home.dir() + "tmp.jpg";
    ASSERT_TRUE(talvenor::SaveJpeg(newPage, jpeg));
    const QImage expected = Rgb32(QImage(QString::fromStdString(jpeg)));

    PicShow show;
    EXPECT_EQ(show.Style(), 15);  // the first page turns as "next page"
    show.resize(400, 250);
    show.SetPicture(oldPage);
    show.SetDuration(0);
    show.Execute();  // shows the old page at once
    show.show();

    ASSERT_TRUE(show.LoadPicture(QString::fromStdString(jpeg)));
    EXPECT_FALSE(show.LoadPicture(QString::fromStdString(home.dir() + "missing.jpg")));
    const std::string garbage = home.dir() + "garbage.jpg";
    FILE* out = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("<html>not a picture</html>", out);
    std::fclose(out);
    EXPECT_FALSE(show.LoadPicture(QString::fromStdString(garbage)));  // the picture from tmp.jpg stays
    show.SetDuration(400);
    QSignalSpy finished(&show, &PicShow::finished);
    show.Execute();
    EXPECT_TRUE(show.Busy());

    // Frames between the pages appear while the timer drives the animation,
    // and the first of them still shows part of the old page.
    QImage between;
    while (show.Busy() && between.isNull()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const QImage frame = Rgb32(show.grab().toImage());
        if (frame != oldPage && frame != expected) between = frame;
    }
    ASSERT_FALSE(between.isNull()) << "no frame between the pages was shown";
    EXPECT_LT(ShareDiffering(between, oldPage), 0.97);

    if (finished.isEmpty()) {
        ASSERT_TRUE(finished.wait(10000));
    }
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(show.Busy());
    EXPECT_TRUE(Rgb32(show.grab().toImage()) == expected);
}

TEST(PicShowControl, AHiddenControlFinishesAndStopEndsOnTheNewPage) {
    // The reader waits while the control is busy: it must end even when
    // nothing of it is on screen.
    const QImage oldPage = TextPage(300, 200, false), newPage = TextPage(300, 200, true);
    PicShow show;
    show.resize(300, 200);
    show.SetPicture(newPage);
    show.SetOldPicture(oldPage);
    show.SetStyle(64);
    QSignalSpy finished(&show, &PicShow::finished);
    show.Execute();
    EXPECT_TRUE(show.Busy());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(show.Busy());

    show.SetPicture(oldPage);
    show.SetDuration(60000);
    show.Execute();
    EXPECT_TRUE(show.Busy());
    show.Stop();
    EXPECT_FALSE(show.Busy());
    EXPECT_EQ(finished.count(), 2);
    EXPECT_TRUE(Rgb32(show.grab().toImage()) == oldPage);
}

TEST(PicShowControl, APageShownDuringATurnEndsItAndTurnsOnFromThere) {
    // A handler that runs while the reader waits for a turn may show the next
    // page at once: the first turn ends (so the waiting stops) and the second
    // starts from the page the first one brought in.
    const QImage a = TextPage(300, 200, false), b = TextPage(300, 200, true);
    QImage c = a.mirrored(true, false);
    PicShow show;
    show.resize(300, 200);
    show.SetPicture(a);
    show.SetDuration(0);
    show.Execute();
    show.show();
    show.SetDuration(PicShow::kDefaultDuration);
    QSignalSpy finished(&show, &PicShow::finished);
    show.SetPicture(b);
    show.Execute();
    show.SetPicture(c);
    show.Execute();
    EXPECT_EQ(finished.count(), 1);  // the interrupted turn
    EXPECT_TRUE(show.Busy());
    const QImage start = Rgb32(show.grab().toImage());
    EXPECT_LT(ShareDiffering(start, b), ShareDiffering(start, a));

    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(show.Busy());
    EXPECT_TRUE(Rgb32(show.grab().toImage()) == c);
}
