// A rule file is untrusted input.  Input: a byte choosing the walk, then a
// rule file and a page separated by the first NUL byte.  A file that loads
// is run on the page: no crash, bounded time and memory, the caps hold.
// The walk gives the same output without a trace (the lean path for a
// complete page, its blocks run as lean programs); with every emit copying
// its values instead of moving them, every block run step by step and every
// expression evaluated on the stack; and on the page fed in two pieces cut where the page's last byte
// says.
#include <memory>
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
    rules::Output out;
    try {
        out = rules::Run(*site, kind, page, inputs, &trace);
        for (const auto& list : out.lists) FUZZ_CHECK(list.size() <= rules::kMaxItems);
    } catch (const ConversionError&) {
        return 0;
    }
    const auto same = [&out](const rules::Output& o) {
        return o.lists == out.lists && o.outs == out.outs && o.progress == out.progress && o.next == out.next;
    };
    FUZZ_CHECK(same(rules::Run(*site, kind, page, inputs)));
    auto copying = std::make_shared<rules::SiteRules>(*site);
    const auto stack = [](rules::Expr& e) { e.form = rules::Expr::Form::Stack; };
    for (rules::Walk& w : copying->walks) {
        w.lean.assign(w.blocks.size(), {});
        for (auto& block : w.blocks)
            for (rules::Step& step : block) {
                step.moveOut = false;
                for (rules::Expr* e : {&step.when, &step.from, &step.value}) stack(*e);
                for (rules::Cleaner& c : step.cleaners) {
                    stack(c.x);
                    stack(c.y);
                }
            }
    }
    FUZZ_CHECK(same(rules::Run(*copying, kind, page, inputs)));
    const size_t cut = page.empty() ? 0 : static_cast<unsigned char>(page.back()) % (page.size() + 1);
    rules::StreamedWalk streamed(site, kind, inputs);
    streamed.Feed(page.data(), cut);
    streamed.Feed(page.data() + cut, page.size() - cut);
    FUZZ_CHECK(same(streamed.Finish(page)));
    return 0;
}
