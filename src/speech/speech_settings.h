// The [speech] section of set/talvenor.ini: the voice, speed and pitch of
// reading aloud and its sleep timer, kept between runs.
#pragma once

#include <string>

#include "reader/read_aloud.h"

namespace talvenor {

class Settings;

struct SpeechSettings {
    std::string voice;  // empty: the engine's Mandarin voice
    int rate = 0;       // -2..2
    int pitch = 0;      // -2..2
    SleepMode sleep = SleepMode::Off;

    // Bad values are problems of settings (reported by the caller); their
    // defaults are used.
    static SpeechSettings From(const Settings& settings);
    void StoreIn(Settings& settings) const;
};

// "off", "15", "30", "60", "chapter".
std::string SleepName(SleepMode mode);

}  // namespace talvenor
