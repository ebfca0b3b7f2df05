#include "speech/speech_engine.h"

#include <libspeechd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace talvenor {

namespace {

// speech-dispatcher's callbacks carry no context of their own: one engine
// per process listens, and the connection's callbacks reach it here.
std::mutex gListenerMutex;
SpeechEngine::Listener gListener;
// speech-dispatcher is started by the first connection when it is not
// running; two connections starting it at once would make one of them fail.
std::mutex gSpawnMutex;

SPDConnection* Connect(const char* name, SPDConnectionMode mode, std::string* problem) {
    std::lock_guard<std::mutex> lock(gSpawnMutex);
    char* error = nullptr;
    SPDConnection* c = spd_open2("talvenor", name, nullptr, mode, nullptr, 1, &error);
    if (!c && problem)
        *problem =
            std::string("speech-dispatcher could not be reached") + (error ? ": " + std::string(error) : "");
    std::free(error);
    return c;
}

void OnEvent(size_t msgId, size_t, SPDNotificationType type) {
    SpeechEngine::Listener listener;
    {
        std::lock_guard<std::mutex> lock(gListenerMutex);
        listener = gListener;
    }
    if (!listener) return;
    const SpeechEngine::Event e = type == SPD_EVENT_BEGIN ? SpeechEngine::Event::Begin
                                  : type == SPD_EVENT_END ? SpeechEngine::Event::End
                                                          : SpeechEngine::Event::Cancel;
    listener(static_cast<int>(msgId), e);
}

bool Chinese(const char* language) {
    return language && (std::strncmp(language, "cmn", 3) == 0 || std::strncmp(language, "zh", 2) == 0 ||
                        std::strncmp(language, "yue", 3) == 0);
}

SPDConnection* Conn(void* c) {
    return static_cast<SPDConnection*>(c);
}

}  // namespace

int SpeechStepValue(int step) {
    return std::clamp(step, kSpeechStepMin, kSpeechStepMax) * 40;
}

SpeechEngine::SpeechEngine() = default;

SpeechEngine::~SpeechEngine() {
    Close();
}

bool SpeechEngine::Open(Listener listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_) return true;
    SPDConnection* c = Connect("reader", SPD_MODE_THREADED, &problem_);
    if (!c) return false;
    // espeak-ng holds the Chinese voices; without its module there is none.
    if (spd_set_output_module(c, "espeak-ng") != 0 || spd_set_language(c, "zh") != 0) {
        problem_ = "speech-dispatcher has no Chinese voice (its espeak-ng module is missing)";
        spd_close(c);
        return false;
    }
    {
        std::lock_guard<std::mutex> l(gListenerMutex);
        gListener = std::move(listener);
    }
    c->callback_begin = OnEvent;
    c->callback_end = OnEvent;
    c->callback_cancel = OnEvent;
    spd_set_notification_on(c, SPD_BEGIN);
    spd_set_notification_on(c, SPD_END);
    spd_set_notification_on(c, SPD_CANCEL);
    spd_set_punctuation(c, SPD_PUNCT_NONE);
    connection_ = c;
    problem_.clear();
    return true;
}

std::vector<std::string> SpeechEngine::ListVoices() {
    SPDConnection* c = Connect("voices", SPD_MODE_SINGLE, nullptr);
    if (!c) return {};
    std::vector<std::string> mandarin, cantonese;
    if (spd_set_output_module(c, "espeak-ng") == 0) {
        if (SPDVoice** list = spd_list_synthesis_voices(c)) {
            for (SPDVoice** v = list; *v; ++v) {
                const SPDVoice& voice = **v;
                if (!voice.name || !Chinese(voice.language)) continue;
                if (voice.variant && std::strcmp(voice.variant, "none") != 0) continue;
                (std::strncmp(voice.language, "yue", 3) == 0 ? cantonese : mandarin).push_back(voice.name);
            }
            free_spd_voices(list);
        }
    }
    spd_close(c);
    mandarin.insert(mandarin.end(), cantonese.begin(), cantonese.end());
    return mandarin;
}

void SpeechEngine::SetVoice(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connection_) return;
    if (name.empty()) {
        spd_set_language(Conn(connection_), "zh");
        return;
    }
    spd_set_synthesis_voice(Conn(connection_), name.c_str());
}

void SpeechEngine::SetRate(int step) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_) spd_set_voice_rate(Conn(connection_), SpeechStepValue(step));
}

void SpeechEngine::SetPitch(int step) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_) spd_set_voice_pitch(Conn(connection_), SpeechStepValue(step));
}

int SpeechEngine::Speak(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connection_) return 0;
    const int id = spd_say(Conn(connection_), SPD_TEXT, text.c_str());
    return id > 0 ? id : 0;
}

void SpeechEngine::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_) spd_cancel(Conn(connection_));
}

void SpeechEngine::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connection_) return;
    spd_cancel(Conn(connection_));
    spd_close(Conn(connection_));
    connection_ = nullptr;
    std::lock_guard<std::mutex> l(gListenerMutex);
    gListener = nullptr;
}

}  // namespace talvenor
