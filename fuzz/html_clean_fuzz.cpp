// The chapter cleaner against the HTML parser's own reading of what comes
// out of it.  Input: one byte choosing the page around the content (the
// reader's two frames, an exported page, none), then the content.
//
// Properties:
// - read in its page, the output holds no element of the refused kinds, no
//   event handler and no script or inline address begun in the content, and
//   no start tag the parser would drop or merge elsewhere;
// - content that holds none of that in the first place comes back byte for
//   byte (text without "<" in particular);
// - cleaning the output again changes nothing.
#include <gumbo.h>

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/html_clean.h"

using namespace talvenor;

namespace {

struct Frame {
    const char* before;
    const char* after;
};
const Frame kFrames[] = {
    {"<htm><base target=_Blank><body><center><table><td width=800><br><h1>t</h1>",
     "</td></table><hr><a href=http://f/>f</a></font><body></htm>"},
    {"<base target=_Blank><body bgcolor=#FFFFFF><center><table><td><br>", "</td></table><hr></font>"},
    {"<htm><body><h1>t</h1>", "<hr></font><body></htm>"},
    {"", ""},
};

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// Why the page, read by the parser, still holds something active in
// [lo, hi); empty when it holds nothing.
class Oracle {
  public:
    Oracle(const std::string& doc, size_t lo, size_t hi) : doc_(doc), lo_(lo), hi_(hi) {}

    std::string Verdict() {
        GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, doc_.data(), doc_.size());
        std::vector<std::pair<const GumboNode*, bool>> todo;
        for (unsigned i = 0; i < out->document->v.document.children.length; ++i)
            todo.push_back(
                {static_cast<const GumboNode*>(out->document->v.document.children.data[i]), false});
        while (!todo.empty() && why_.empty()) {
            auto [n, rawText] = todo.back();
            todo.pop_back();
            if (n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE) {
                const GumboElement& e = n->v.element;
                Mark(e.original_tag);
                Mark(e.original_end_tag);
                const std::vector<std::string> names = NamesOf(e);
                const std::string name = names.empty() ? std::string() : names.front();
                if (e.original_tag.length && In(e.original_tag.data)) {
                    for (const std::string& each : names) Element(each, e);
                    starts_.push_back(Offset(e.original_tag.data));
                }
                const bool raw = e.tag_namespace == GUMBO_NAMESPACE_HTML &&
                                 (name == "script" || name == "style" || name == "textarea" ||
                                  name == "title" || name == "xmp" || name == "iframe" || name == "noembed" ||
                                  name == "noframes" || name == "noscript" || name == "plaintext");
                for (unsigned i = 0; i < e.children.length; ++i)
                    todo.push_back({static_cast<const GumboNode*>(e.children.data[i]), raw});
            } else if (n->type == GUMBO_NODE_COMMENT || n->type == GUMBO_NODE_CDATA || rawText) {
                Mark(n->v.text.original_text);
            }
        }
        gumbo_destroy_output(&kGumboDefaultOptions, out);
        if (why_.empty()) StrayTags();
        return why_;
    }

  private:
    size_t Offset(const char* p) const { return static_cast<size_t>(p - doc_.data()); }
    bool In(const char* p) const { return Offset(p) >= lo_ && Offset(p) < hi_; }
    void Mark(const GumboStringPiece& p) {
        if (p.length) spans_.push_back({Offset(p.data), Offset(p.data) + p.length});
    }
    // The parser's name of the element; for a tag it does not know, the
    // name written in its tag, past any "</>" the parser ignored in front of
    // it and counts as part of the tag.
    static std::vector<std::string> NamesOf(const GumboElement& e) {
        if (e.tag != GUMBO_TAG_UNKNOWN) return {gumbo_normalized_tagname(e.tag)};
        std::string text(e.original_tag.data ? e.original_tag.data : "", e.original_tag.length);
        while (text.compare(0, 3, "</>") == 0) text.erase(0, 3);
        if (text.empty() || text[0] != '<') return {};
        size_t end = 1;
        while (end < text.size() && std::string(" \t\n\f\r/>").find(text[end]) == std::string::npos) ++end;
        return {LowerAscii(text.substr(1, end - 1))};
    }
    void Element(const std::string& name, const GumboElement& e) {
        static const char* refused[] = {"script",  "iframe", "frame",   "frameset", "object", "embed",
                                        "applet",  "meta",   "link",    "base",     "form",   "noscript",
                                        "animate", "animatemotion", "animatetransform", "animatecolor",
                                        "set",     "handler", "listener"};
        for (const char* r : refused)
            if (name == r) why_ = "element " + name;
        for (unsigned i = 0; i < e.attributes.length && why_.empty(); ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const std::string attr = LowerAscii(a->name);
            if (attr.size() > 2 && attr[0] == 'o' && attr[1] == 'n') why_ = "handler " + attr;
            if (attr == "srcdoc") why_ = "srcdoc";
            // As a URL parser reads it: tabs and line breaks anywhere are
            // dropped, blanks and control bytes in front are skipped.
            std::string value;
            for (const char* v = a->value; *v; ++v) {
                if (*v == '\t' || *v == '\n' || *v == '\r') continue;
                if (value.empty() && static_cast<unsigned char>(*v) <= 0x20) continue;
                value += *v;
            }
            value = LowerAscii(value);
            for (const char* scheme : {"javascript:", "vbscript:", "livescript:", "data:"})
                if ((attr == "href" || attr == "src" || attr == "xlink:href" || attr == "action" ||
                     attr == "formaction" || attr == "data") &&
                    value.compare(0, std::string(scheme).size(), scheme) == 0)
                    why_ = "address " + attr + "=" + value;
        }
    }
    // A "<" and a letter in the content that is no element's start and
    // stands in no tag, comment or raw text: a tag the parser dropped.
    void StrayTags() {
        for (size_t p = lo_; p < hi_ && p + 1 < doc_.size(); ++p) {
            const char c = doc_[p + 1];
            if (doc_[p] != '<' || !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) continue;
            bool accounted = false;
            for (size_t s : starts_) accounted = accounted || s == p;
            for (const auto& [from, to] : spans_) accounted = accounted || (p >= from && p < to);
            if (!accounted) {
                why_ = "stray tag at " + std::to_string(p - lo_);
                return;
            }
        }
    }

    const std::string& doc_;
    size_t lo_, hi_;
    std::vector<size_t> starts_;
    std::vector<std::pair<size_t, size_t>> spans_;
    std::string why_;
};

std::string Active(const Frame& f, const std::string& content) {
    const std::string before = f.before;
    return Oracle(before + content + f.after, before.size(), before.size() + content.size()).Verdict();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const Frame& frame = kFrames[data[0] % 4];
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string out = CleanChapterHtml(frame.before, content, frame.after);
    const std::string why = Active(frame, out);
    if (!why.empty()) std::fprintf(stderr, "still active: %s\n", why.c_str());
    FUZZ_CHECK(why.empty());
    if (content.find('<') == std::string::npos || Active(frame, content).empty()) FUZZ_CHECK(out == content);
    FUZZ_CHECK(CleanChapterHtml(frame.before, out, frame.after) == out);
    // The shortcut for text with only line breaks answers as the parser does.
    FUZZ_CHECK(out == CleanChapterHtmlParsed(frame.before, content, frame.after));
    return 0;
}
