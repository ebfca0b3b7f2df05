// The hosts file.  Input: any bytes, read as the file.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "net/site_hosts.h"

using namespace talvenor;

namespace {

bool Same(const SiteHosts& a, const SiteHosts& b) {
    for (const auto& e : SiteHosts::Entries())
        if (a.*(e.member) != b.*(e.member)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> errors;
    const SiteHosts hosts = ParseSiteHosts(text, &errors);

    // Every base URL is one the file's own check accepts (scheme and host,
    // no path, no blank), whatever the file held; the host name never holds
    // a "/".
    for (const auto& e : SiteHosts::Entries()) {
        const std::string& url = hosts.*(e.member);
        FUZZ_CHECK(BaseUrlProblem(url).empty());
        FUZZ_CHECK(url.back() != '/');
        FUZZ_CHECK(SiteHosts::HostName(url).find('/') == std::string::npos);
    }

    // What the program writes it reads back the same, without complaint.
    std::vector<std::string> again;
    FUZZ_CHECK(Same(ParseSiteHosts(FormatSiteHosts(hosts), &again), hosts));
    FUZZ_CHECK(again.empty());

    // A base URL as a person writes it: blanks around it, a comment after it
    // and "/" at its end (two or more, as many as the input begins with)
    // change nothing.
    size_t slashes = 0;
    while (slashes < text.size() && slashes < 8 && text[slashes] == '/') ++slashes;
    for (const auto& e : SiteHosts::Entries()) {
        const std::string& url = hosts.*(e.member);
        const std::string line =
            std::string(e.key) + " =  " + url + std::string(slashes + 2, '/') + "  # mine\n";
        std::vector<std::string> complaints;
        FUZZ_CHECK(ParseSiteHosts(line, &complaints).*(e.member) == url);
        FUZZ_CHECK(complaints.empty());
    }
    return 0;
}
