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
    // How often the chime was asked for, heard or not (a machine without an
    // audio output hears nothing, but the reader asked all the same).
    int Requests() const { return requests_; }
    // True once the chime was handed to an audio output.
    bool Started() const { return effect_ != nullptr; }

  private:
    int requests_ = 0;
    QSoundEffect* effect_ = nullptr;  // made on first use, when an output exists
};

}  // namespace talvenor
