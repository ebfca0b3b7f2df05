// The bundled demo of the five novel sites: one HTTP server on loopback that
// tells the sites apart by the Host header (see SiteHosts::Demo) and serves
// pages generated from DemoContent.  The program's scrapers, the tests and
// the benchmarks all talk to it.
//
// Faults can be switched on while it runs, to see how the program copes with
// error statuses, slow or cut-off answers, redirects, bad bytes and pages
// that lack their markers.  A few fixed paths on every host help the HTTP
// client's own tests:
//   /test/redirect/N         N redirects, then 200
//   /test/redirect/loop/N    redirects without end (N, N+1, ...)
//   /test/cookie/set?value=V sets the cookie "demo=V"
//   /test/cookie/echo        answers the Cookie header it received
//   /test/slow?ms=N          answers after N ms
//   /test/big?mb=N           streams N MiB
//   /test/longheader?bytes=N a response header line of N bytes
//   /test/status/CODE        that status, with an error page
//   /test/echo               the request line and headers as received
//   /test/chapters?site=S&key=K&count=N  book K of site S (duowan, readnovel, xs8,
//                            feiku, 520) has N chapters from now on
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo_content.h"

namespace talvenor::demo {

enum class FaultKind {
    Status,        // an error status with an error page (value: the status, default 500)
    Delay,         // value ms before the headers (default 3000)
    Trickle,       // the body in 64-byte pieces, value ms before each (default 200)
    Redirect,      // 302 to location
    RedirectLoop,  // 302 into /test/redirect/loop/1, which never ends
    BadUtf8,       // a stray byte 0xB0 in the middle of the page
    CutOff,        // announces the whole length, sends value bytes (default half), closes
    NoMarker,      // the page without its list or content markers
    EmptyBody,     // 200 with an empty body
    Hold,          // no answer until ReleaseHeld() (or the server stops): a server that never answers
    Hostile,       // the page with HostileMarkup after its first "<br>" and before its first "</a>"
    Busy,          // 429 with "Retry-After: value" seconds (default 1)
    Flaky,         // every value-th request it matches (default 3) gets a 503 without Retry-After
    Rate,          // the body at value kilobytes a millisecond (default 10), as over a link of that speed
};

// Markup a hostile site (or anyone on the way) would put into a page: script
// in every form a browser might run, frames and plug-ins, a redirect, a
// changed base, local files, and terminal control sequences for a page
// printed to a terminal.  Whatever of it ran or loaded would ask for a
// target under /leak on leakBase ("http://host:port").  "pwned" is what a
// script that ran would write into the title and the document.
std::string HostileMarkup(const std::string& leakBase);

struct Fault {
    std::string host;   // host name without port; empty or "*": every host
    std::string match;  // substring of path and query; empty: every request
    FaultKind kind = FaultKind::Status;
    int value = 0;  // 0: the kind's default
    std::string location;
    int times = -1;  // requests it still hits; -1: every one
    int seen = 0;    // requests it matched so far (Flaky counts them)
};

// Reads "HOST:SUBSTRING=KIND[:ARG][@TIMES]", e.g.
// "xs8.localhost:/list.php?page=2=status:500@1" or "*:/love/=delay:6000".
bool ParseFault(const std::string& rule, Fault* fault, std::string* error = nullptr);
std::string FaultUsage();

class DemoSites {
  public:
    explicit DemoSites(DemoOptions options = {});
    ~DemoSites();
    DemoSites(const DemoSites&) = delete;
    DemoSites& operator=(const DemoSites&) = delete;

    // Binds 127.0.0.1 (options.port, or any free port for 0) and serves on
    // a background thread.  False when the port cannot be bound, and after
    // Stop: a stopped server does not start again.
    bool Start();
    void Stop();
    bool running() const;
    int port() const;
    SiteHosts hosts() const;  // SiteHosts::Demo(port())

    DemoContent& content();
    const DemoContent& content() const;
    void AddBooks(Site site, int category, int count);

    int AddFault(const Fault& fault);  // returns an id for RemoveFault
    void RemoveFault(int id);
    void ClearFaults();
    // Requests held by a "hold" fault right now, and letting them go: each
    // is then answered as if there were no fault.
    int Held() const;
    void ReleaseHeld();
    // Body bytes sent so far under "trickle" and "cutoff" faults: a test can
    // wait for part of a slow page to have arrived.
    long TrickledBytes() const;

    // Called with "host target" of every request as it arrives (before any
    // fault applies); set before Start.
    void SetRequestObserver(std::function<void(const std::string&)> observer);

    // "host target" of every request so far, in order of arrival.
    std::vector<std::string> RequestLog() const;
    void ClearRequestLog();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace talvenor::demo
