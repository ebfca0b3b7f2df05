// The page snapshot file: written whole or not at all.
#include "platform/jpeg_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_home.h"

using talvenor::SaveJpeg;

namespace {

QImage Quarters(QColor a, QColor b, QColor c, QColor d) {
    QImage image(320, 200, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 160, 100, a);
    p.fillRect(160, 0, 160, 100, b);
    p.fillRect(0, 100, 160, 100, c);
    p.fillRect(160, 100, 160, 100, d);
    return image;
}

bool Near(QRgb got, QColor want) {
    return std::abs(qRed(got) - want.red()) <= 12 && std::abs(qGreen(got) - want.green()) <= 12 &&
           std::abs(qBlue(got) - want.blue()) <= 12;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int FilesIn(const std::string& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

}  // namespace

TEST(SaveJpeg, WritesAPictureThatReadsBackInTheSameColours) {
    TestHome home;
    const std::string path = home.dir() + "tmp.jpg";
    ASSERT_TRUE(SaveJpeg(Quarters(Qt::red, QColor(20, 160, 40), Qt::blue, QColor(250, 246, 232)), path));
    QImage back(QString::fromStdString(path));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(320, 200));
    EXPECT_TRUE(Near(back.pixel(80, 50), Qt::red));
    EXPECT_TRUE(Near(back.pixel(240, 50), QColor(20, 160, 40)));
    EXPECT_TRUE(Near(back.pixel(80, 150), Qt::blue));
    EXPECT_TRUE(Near(back.pixel(240, 150), QColor(250, 246, 232)));

    // The next page's picture replaces it, and no temporary file is left.
    ASSERT_TRUE(SaveJpeg(Quarters(Qt::black, Qt::black, Qt::white, Qt::white), path));
    back.load(QString::fromStdString(path));
    EXPECT_TRUE(Near(back.pixel(80, 50), Qt::black));
    EXPECT_TRUE(Near(back.pixel(240, 150), Qt::white));
    EXPECT_EQ(FilesIn(home.dir()), 1);
}

TEST(SaveJpeg, AFailedWriteLeavesThePreviousPictureInPlace) {
    TestHome home;
    const std::string path = home.dir() + "tmp.jpg";
    EXPECT_FALSE(
        SaveJpeg(Quarters(Qt::red, Qt::red, Qt::red, Qt::red), home.dir() + "no such folder/tmp.jpg"));

    ASSERT_TRUE(SaveJpeg(Quarters(Qt::red, Qt::green, Qt::blue, Qt::white), path));
    const std::string before = Contents(path);
    EXPECT_FALSE(SaveJpeg(QImage(), path));

    // A disk that fills up half way through the picture: the encoder's
    // write error must come back as a failure, not end the program.
    QImage noisy(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x) noisy.setPixel(x, y, qRgb(x * 7 ^ y * 13, x * y, x + y * 3));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 16 * 1024;
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = SaveJpeg(noisy, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(FilesIn(home.dir()), 1);
}
