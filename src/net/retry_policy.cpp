#include "net/retry_policy.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <vector>

#include "net/http_client.h"
#include "text/encoding.h"

namespace talvenor {

bool IsRetryable(const FetchError& failure) {
    if (failure.cancelled()) return false;
    if (failure.status() == 429 || failure.status() == 503) return true;
    return failure.connectionFailed();
}

namespace {

bool Digits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

int MonthOf(const std::string& name) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    std::string lower;
    for (char c : name) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    for (int i = 0; i < 12; ++i)
        if (lower == kMonths[i]) return i;
    return -1;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// The three forms of an HTTP date, read by their pieces: a day of the
// month, a month's name, a year, and the time as HH:MM:SS.
std::optional<long long> HttpDate(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '-' || c == '\t') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) words.push_back(word);
    int day = -1, month = -1, hour = -1, minute = -1, second = -1;
    long long year = -1;
    for (const std::string& w : words) {
        if (w.size() == 8 && w[2] == ':' && w[5] == ':') {
            const std::string h = w.substr(0, 2), m = w.substr(3, 2), s = w.substr(6, 2);
            if (!Digits(h) || !Digits(m) || !Digits(s)) return std::nullopt;
            hour = std::stoi(h);
            minute = std::stoi(m);
            second = std::stoi(s);
        } else if (MonthOf(w) >= 0) {
            month = MonthOf(w);
        } else if (Digits(w) && w.size() <= 2 && day < 0) {
            day = std::stoi(w);
        } else if (Digits(w) && (w.size() == 4 || w.size() == 2)) {
            year = std::stoll(w);
            // RFC 850's two digits: a year that looks more than 50 years
            // ahead is in the past century.
            if (w.size() == 2) year += year < 70 ? 2000 : 1900;
        }
    }
    if (day < 1 || day > 31 || month < 0 || year < 1970 || hour < 0 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    return DaysFromCivil(year, static_cast<unsigned>(month + 1), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

std::mutex gActivityMutex;
std::map<int, int> gActivity;  // retry number -> fetches at it

}  // namespace

std::optional<long long> ParseRetryAfter(const std::string& value, std::time_t now) {
    std::string v = value;
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back()))) v.pop_back();
    v.erase(0, std::min(v.size(), v.find_first_not_of(" \t")));
    if (Digits(v)) return v.size() > 9 ? 999999999000LL : std::stoll(v) * 1000;
    std::optional<long long> at = HttpDate(v);
    if (!at) return std::nullopt;
    const long long ms = (*at - static_cast<long long>(now)) * 1000;
    return ms > 0 ? ms : 0;
}

long long BackoffMs(int retry, int baseMs) {
    thread_local std::mt19937 random{std::random_device{}()};
    const int shift = std::clamp(retry - 1, 0, 20);
    const long long full = static_cast<long long>(std::max(baseMs, 0)) << shift;
    std::uniform_real_distribution<double> part(0.5, 1.0);
    return static_cast<long long>(static_cast<double>(full) * part(random));
}

RetryActivity CurrentRetries() {
    std::lock_guard<std::mutex> lock(gActivityMutex);
    RetryActivity a;
    for (const auto& [retry, fetches] : gActivity) {
        a.fetches += fetches;
        if (fetches > 0) a.retry = std::max(a.retry, retry);
    }
    return a;
}

std::string RetryText(int retry) {
    return Utf8ToGbk("第 " + std::to_string(retry) + " 次重试…");
}

namespace detail {

void RetryStarted(int retry) {
    std::lock_guard<std::mutex> lock(gActivityMutex);
    ++gActivity[retry];
}

void RetryEnded(int retry) {
    std::lock_guard<std::mutex> lock(gActivityMutex);
    if (--gActivity[retry] <= 0) gActivity.erase(retry);
}

}  // namespace detail

}  // namespace talvenor
