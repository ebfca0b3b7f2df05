#include "speech/speech_settings.h"

#include "catalogue/settings.h"
#include "speech/speech_engine.h"

namespace talvenor {

namespace {

const char kSection[] = "speech";

}  // namespace

std::string SleepName(SleepMode mode) {
    switch (mode) {
        case SleepMode::Minutes15:
            return "15";
        case SleepMode::Minutes30:
            return "30";
        case SleepMode::Minutes60:
            return "60";
        case SleepMode::ChapterEnd:
            return "chapter";
        case SleepMode::Off:
            break;
    }
    return "off";
}

SpeechSettings SpeechSettings::From(const Settings& s) {
    SpeechSettings out;
    out.voice = s.Text(kSection, "voice", "");
    out.rate = static_cast<int>(s.Integer(kSection, "rate", 0, kSpeechStepMin, kSpeechStepMax));
    out.pitch = static_cast<int>(s.Integer(kSection, "pitch", 0, kSpeechStepMin, kSpeechStepMax));
    const std::string sleep = s.Choice(kSection, "sleep", "off", {"off", "15", "30", "60", "chapter"});
    for (SleepMode m :
         {SleepMode::Minutes15, SleepMode::Minutes30, SleepMode::Minutes60, SleepMode::ChapterEnd})
        if (sleep == SleepName(m)) out.sleep = m;
    return out;
}

void SpeechSettings::StoreIn(Settings& s) const {
    s.Set(kSection, "voice", voice);
    s.Set(kSection, "rate", std::to_string(rate));
    s.Set(kSection, "pitch", std::to_string(pitch));
    s.Set(kSection, "sleep", SleepName(sleep));
}

}  // namespace talvenor
