// A rule file is untrusted input.  Input: a byte choosing the walk, then a
// rule file and a page separated by the first NUL byte.  A file that loads
// is run on the page: no crash, bounded time and memory, the caps hold.
#include <string>

#include "catalogue/site_rules.h"
#include "fuzz_support.h"
#include "text/numbers.h"

using namespace talvenor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const auto kind = static_cast<rules::WalkKind>(in.Byte() % rules::kWalkKinds);
    const std::string rest = in.Rest();
    const size_t nul = rest.find('\0');
    const std::string file = rest.substr(0, nul);
    const std::string page = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
    std::shared_ptr<const rules::SiteRules> site;
    try {
        site = rules::LoadRules(file, "fuzz.toml");
    } catch (const rules::RuleFileError& e) {
        FUZZ_CHECK(e.error.line >= 0 && e.error.column >= 0);
        return 0;
    }
    rules::Inputs inputs;
    inputs.base = "http://a.b:1";
    inputs.n = 1;
    rules::Trace trace;
    try {
        const rules::Output out = rules::Run(*site, kind, page, inputs, &trace);
        for (const auto& list : out.lists) FUZZ_CHECK(list.size() <= rules::kMaxItems);
    } catch (const ConversionError&) {
    }
    return 0;
}
