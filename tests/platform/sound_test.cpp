// The chime after each chapter: compiled in, and taken without a sound card.
#include "platform/sound.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>

TEST(Sound, TheChimeIsAShortWaveCompiledIntoTheProgram) {
    talvenor::Sound sound;
    QFile wave(":/sounds/tada.wav");
    ASSERT_TRUE(wave.open(QIODevice::ReadOnly));
    const QByteArray data = wave.readAll();
    ASSERT_GE(data.size(), 44);
    EXPECT_EQ(data.left(4), "RIFF");
    EXPECT_EQ(data.mid(8, 8), "WAVEfmt ");
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes + 22), 1);  // mono
    const quint32 rate = qFromLittleEndian<quint32>(bytes + 24);
    EXPECT_EQ(rate, 22050u);
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes + 34), 16);
    const double seconds = (data.size() - 44) / (2.0 * rate);
    EXPECT_GT(seconds, 0.2);
    EXPECT_LT(seconds, 1.0);
}

TEST(Sound, EveryRequestIsTakenAndGoesToTheOutputWhereThereIsOne) {
    // The test machines have no sound card: a request is counted all the
    // same and goes nowhere; where there is one, the chime is handed to it.
    // (That the reader asks only when 静音 is not ticked is checked on the
    // reader window.)
    talvenor::Sound sound;
    EXPECT_EQ(sound.Requests(), 0);
    EXPECT_FALSE(sound.Started());
    sound.Play();
    sound.Play();  // again while the first may still be loading or sounding
    QCoreApplication::processEvents();
    EXPECT_EQ(sound.Requests(), 2);
    EXPECT_EQ(sound.Started(), sound.Available());
}
