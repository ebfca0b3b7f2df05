// The desktop's speech engine: speech-dispatcher through its C API, with
// espeak-ng's Chinese voices.  Each sentence is one message; the engine
// reports when a message has been spoken (or cancelled) by its id, on a
// thread of its own.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace talvenor {

// Five steps each for speed and pitch: -2 (slowest, lowest) to 2.
constexpr int kSpeechStepMin = -2;
constexpr int kSpeechStepMax = 2;

class SpeechEngine {
  public:
    enum class Event { Begin, End, Cancel };
    // Called on the engine's thread: the front end passes it on to its own.
    using Listener = std::function<void(int id, Event event)>;

    SpeechEngine();
    ~SpeechEngine();
    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    // Connects to speech-dispatcher (starting it when it is not running) and
    // checks that it has a Chinese voice.  False with Problem() saying why.
    bool Open(Listener listener);
    bool IsOpen() const { return connection_ != nullptr; }
    const std::string& Problem() const { return problem_; }

    // The engine's Chinese voices (Mandarin first, then Cantonese), without
    // their variants.  espeak-ng lists every voice with every variant, which
    // takes seconds: this asks on a connection of its own, so that it may
    // run on another thread while the engine speaks.
    static std::vector<std::string> ListVoices();
    // An empty name or one the engine does not have keeps its Mandarin voice.
    void SetVoice(const std::string& name);
    void SetRate(int step);
    void SetPitch(int step);

    // Speaks a sentence (UTF-8); the message's id, or 0 when refused.
    int Speak(const std::string& text);
    // Silences the engine and drops what it still had to say.
    void Cancel();
    void Close();

  private:
    void* connection_ = nullptr;  // the SPDConnection
    std::string problem_;
    std::mutex mutex_;  // speech-dispatcher's calls and callbacks come from several threads
};

// The speech-dispatcher rate or pitch (-100..100) of a step.
int SpeechStepValue(int step);

}  // namespace talvenor
