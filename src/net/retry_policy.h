// When a failed fetch is tried again, and after how long: a server that is
// busy (429, 503) or a connection that failed is asked again, waiting as the
// server's Retry-After says or else twice as long each time, with jitter so
// that many clients do not come back at once.  A page that is not there
// (404) and every other failure is final.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace talvenor {

class FetchError;

// A failure worth another try.
bool IsRetryable(const FetchError& failure);

// Retry-After: whole seconds or an HTTP date (IMF-fixdate, RFC 850 or
// asctime form), as the milliseconds to wait from now; a date in the past
// waits 0.  Nothing for a value that is neither.
std::optional<long long> ParseRetryAfter(const std::string& value, std::time_t now);

// The wait before retry number `retry` (1 for the first): base * 2^(retry-1),
// of which a random part in [0.5, 1] is taken.
long long BackoffMs(int retry, int baseMs);

// Fetches between a failed try and the end of the next one right now, and
// the highest retry number among them: what the progress window and the
// command line's progress line show ("第 2 次重试…").
struct RetryActivity {
    int fetches = 0;
    int retry = 0;
};
RetryActivity CurrentRetries();
// "第 N 次重试…" in GBK, as the windows and the command line show it.
std::string RetryText(int retry);

namespace detail {
// Kept by the HTTP client while a fetch is in its retries.
void RetryStarted(int retry);
void RetryEnded(int retry);
}  // namespace detail

}  // namespace talvenor
