#include "platform/sound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

// The resource lives in this static library; the linker keeps it only when
// it is initialised by name, from outside any namespace.
static void InitSoundResources() {
    Q_INIT_RESOURCE(sounds);
}

namespace talvenor {

Sound::Sound(QObject* parent) : QObject(parent) {
    static const bool registered = (InitSoundResources(), true);
    (void)registered;
}

Sound::~Sound() = default;

bool Sound::Available() const {
    return !QMediaDevices::audioOutputs().isEmpty();
}

void Sound::Play() {
    ++requests_;
    if (!Available()) return;
    if (!effect_) {
        effect_ = new QSoundEffect(this);
        effect_->setSource(QUrl(QStringLiteral("qrc:/sounds/tada.wav")));
    }
    // Before the data is loaded, play() is remembered and done when it is.
    effect_->stop();
    effect_->play();
}

}  // namespace talvenor
