// The short "tada" chime the reader plays after showing a chapter. Playing
// is asynchronous; without an audio output the sound is simply not heard.
#pragma once

#include <QObject>

class QSoundEffect;

namespace talvenor {

class Sound : public QObject {
    Q_OBJECT
  public:
    explicit Sound(QObject* parent = nullptr);
    ~Sound() override;

    // True when an audio output exists to play on.
    bool Available() const;
    // Starts the chime and returns at once; a chime still sounding starts over.
    void Play();

  private:
    QSoundEffect* effect_ = nullptr;  // made on first use, when an output exists
};

}  // namespace talvenor
