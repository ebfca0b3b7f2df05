#include "text/html_clean.h"

#include <gumbo.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace talvenor {

namespace {

struct Range {
    size_t from;
    size_t to;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

// Elements that go with everything inside them.
bool RemovedWhole(const std::string& tag) {
    return OneOf(tag, {"script", "iframe", "frame", "frameset", "embed", "meta", "link", "base", "animate",
                       "animatemotion", "animatetransform", "animatecolor", "set", "handler", "listener"});
}

// Elements whose own tags go while what they hold stays: a form's text, the
// fallback text of a plug-in a browser without plug-ins shows, and what a
// browser with scripts off shows of noscript.
bool Unwrapped(const std::string& tag) {
    return OneOf(tag, {"form", "object", "applet", "noscript"});
}

// Elements whose text is never read as markup.
bool RawTextParent(const std::string& tag) {
    return OneOf(tag, {"script", "style", "xmp", "iframe", "noembed", "noframes", "noscript", "textarea",
                       "title", "plaintext"});
}

bool AddressAttribute(const std::string& name) {
    return OneOf(name,
                 {"href", "src", "action", "formaction", "data", "codebase", "background", "poster", "lowsrc",
                  "dynsrc", "srcset", "manifest", "archive", "classid", "ping", "xlink:href"});
}

// An address the browser would run or take as inline content: the scheme
// is read as the URL parser reads it (tabs and line breaks inside ignored,
// leading blanks and control bytes skipped).
bool ActiveAddress(const char* value) {
    std::string v;
    for (const char* p = value; *p; ++p) {
        if (*p == '\t' || *p == '\n' || *p == '\r') continue;
        if (v.empty() && static_cast<unsigned char>(*p) <= 0x20) continue;
        v.push_back(*p);
    }
    v = Lower(v);
    for (const char* scheme : {"javascript:", "vbscript:", "livescript:", "data:"})
        if (v.rfind(scheme, 0) == 0) return true;
    return false;
}

bool ActiveAttribute(const GumboAttribute& a) {
    const std::string name = a.name;  // lower case, as the parser took it
    if (name.size() > 2 && name.compare(0, 2, "on") == 0) return true;
    if (name == "srcdoc") return true;
    return AddressAttribute(name) && ActiveAddress(a.value);
}

// The name a start tag was written with, lower case ("animate" of an SVG
// element the parser knows no tag for).
std::string TagName(const GumboElement& e) {
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    // The parser counts an empty end tag "</>" before a start tag, which it
    // ignores, as part of the start tag's text.
    while (piece.length >= 3 && std::memcmp(piece.data, "</>", 3) == 0) {
        piece.data += 3;
        piece.length -= 3;
    }
    // The name ends where the parser ends it: at a blank as HTML counts
    // blanks (not at a vertical tab, which the library's own helper takes
    // for one: "<form\v" is no form), a "/" or the ">".
    size_t end = piece.length > 0 && piece.data[0] == '<' ? 1 : 0;
    const size_t start = end;
    while (end < piece.length && !IsSpace(piece.data[end]) && piece.data[end] != '/' && piece.data[end] != '>')
        ++end;
    return Lower(std::string(piece.data + start, end - start));
}

// Where a start tag that begins at from ends (just past its ">"), read as
// the HTML tokenizer reads a tag: a ">" inside a quoted value does not end it.
// npos when the text ends inside the tag.
size_t FindTagEnd(const std::string& doc, size_t from) {
    enum { Name, BeforeAttr, AttrName, AfterName, BeforeValue, Quoted, Unquoted, AfterQuoted } s = Name;
    char quote = 0;
    for (size_t i = from + 1; i < doc.size(); ++i) {
        const char c = doc[i];
        switch (s) {
            case Name:
            case AttrName:
                if (c == '>') return i + 1;
                if (IsSpace(c))
                    s = s == Name ? BeforeAttr : AfterName;
                else if (c == '/')
                    s = BeforeAttr;
                else if (c == '=' && s == AttrName)
                    s = BeforeValue;
                break;
            case BeforeAttr:
            case AfterName:
                if (c == '>') return i + 1;
                if (c == '=' && s == AfterName)
                    s = BeforeValue;
                else if (!IsSpace(c) && c != '/')
                    s = AttrName;
                break;
            case BeforeValue:
                if (c == '>') return i + 1;
                if (c == '"' || c == '\'') {
                    quote = c;
                    s = Quoted;
                } else if (!IsSpace(c)) {
                    s = Unquoted;
                }
                break;
            case Quoted:
                if (c == quote) s = AfterQuoted;
                break;
            case Unquoted:
                if (c == '>') return i + 1;
                if (IsSpace(c)) s = BeforeAttr;
                break;
            case AfterQuoted:
                if (c == '>') return i + 1;
                s = BeforeAttr;
                if (!IsSpace(c) && c != '/') s = AttrName;
                break;
        }
    }
    return std::string::npos;
}

// The same, a tag the text ends in reaching to the end.
size_t TagEnd(const std::string& doc, size_t from) {
    const size_t end = FindTagEnd(doc, from);
    return end == std::string::npos ? doc.size() : end;
}

class Pass {
  public:
    Pass(const std::string& doc, size_t lo, size_t hi) : doc_(doc), lo_(lo), hi_(hi) {}

    // The pieces of the content to cut, sorted and merged.
    std::vector<Range> Run() {
        // Errors are kept (the default): with their recording cut short, the
        // parser misplaces an attribute's name after a duplicate one.
        GumboOptions options = kGumboDefaultOptions;
        GumboOutput* out = gumbo_parse_with_options(&options, doc_.data(), doc_.size());
        Walk(out->document);
        gumbo_destroy_output(&options, out);
        FindStrayTags();
        return Merged();
    }

  private:
    size_t Offset(const char* p) const { return static_cast<size_t>(p - doc_.data()); }
    bool InContent(size_t at) const { return at >= lo_ && at < hi_; }

    void Cut(size_t from, size_t to) {
        from = std::max(from, lo_);
        to = std::min(to, hi_);
        if (from < to) cuts_.push_back({from, to});
    }

    void Known(const GumboStringPiece& piece) {
        if (piece.length > 0 && piece.data)
            known_.push_back({Offset(piece.data), Offset(piece.data) + piece.length});
    }

    // Past the last byte the node or anything inside it was read from.
    size_t End(const GumboNode* root) const {
        size_t end = 0;
        std::vector<const GumboNode*> stack{root};
        while (!stack.empty()) {
            const GumboNode* n = stack.back();
            stack.pop_back();
            if (n->type == GUMBO_NODE_ELEMENT || n->type == GUMBO_NODE_TEMPLATE) {
                const GumboElement& e = n->v.element;
                if (e.original_tag.length)
                    end = std::max(end, Offset(e.original_tag.data) + e.original_tag.length);
                if (e.original_end_tag.length)
                    end = std::max(end, Offset(e.original_end_tag.data) + e.original_end_tag.length);
                for (unsigned i = 0; i < e.children.length; ++i)
                    stack.push_back(static_cast<const GumboNode*>(e.children.data[i]));
            } else if (n->type != GUMBO_NODE_DOCUMENT) {
                const GumboStringPiece& t = n->v.text.original_text;
                if (t.length) end = std::max(end, Offset(t.data) + t.length);
            }
        }
        return end;
    }

    // Iterative: a page may nest elements very deeply.
    void Walk(const GumboNode* root) {
        struct Item {
            const GumboNode* node;
            bool rawParent;
        };
        std::vector<Item> stack{{root, false}};
        while (!stack.empty()) {
            const Item item = stack.back();
            stack.pop_back();
            const GumboNode* n = item.node;
            const GumboVector* children = nullptr;
            bool raw = false;
            switch (n->type) {
                case GUMBO_NODE_DOCUMENT:
                    children = &n->v.document.children;
                    break;
                case GUMBO_NODE_ELEMENT:
                case GUMBO_NODE_TEMPLATE: {
                    const GumboElement& e = n->v.element;
                    if (!Element(n)) continue;
                    children = &e.children;
                    raw = e.tag_namespace == GUMBO_NAMESPACE_HTML && RawTextParent(TagName(e));
                    break;
                }
                case GUMBO_NODE_COMMENT:
                case GUMBO_NODE_CDATA:
                    Known(n->v.text.original_text);
                    break;
                default:
                    if (item.rawParent) Known(n->v.text.original_text);
                    break;
            }
            if (children)
                for (unsigned i = children->length; i-- > 0;)
                    stack.push_back({static_cast<const GumboNode*>(children->data[i]), raw});
        }
    }

    // Looks at one element; false when it goes whole (nothing inside it
    // needs a look then).
    bool Element(const GumboNode* n) {
        const GumboElement& e = n->v.element;
        Known(e.original_tag);
        Known(e.original_end_tag);
        if (!e.original_tag.length) return true;  // made by the parser, not written
        const size_t start = Offset(e.original_tag.data);
        if (!InContent(start)) return true;  // the program's own frame around the content
        const std::string tag = TagName(e);
        if (RemovedWhole(tag)) {
            Cut(start, End(n));
            return false;
        }
        if (Unwrapped(tag)) {
            Cut(start, start + e.original_tag.length);
            if (e.original_end_tag.length)
                Cut(Offset(e.original_end_tag.data),
                    Offset(e.original_end_tag.data) + e.original_end_tag.length);
            return true;
        }
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            if (!ActiveAttribute(*a)) continue;
            const size_t from = Offset(a->original_name.data);
            size_t to = from + a->original_name.length;
            if (a->original_value.length) to = Offset(a->original_value.data) + a->original_value.length;
            Cut(from, to);
        }
        return true;
    }

    // A start tag in the content that no element came from and that no
    // comment or raw text holds was dropped by the parser where it stands,
    // or had its attributes merged into an element of the page (a second
    // body tag).  A browser may read it otherwise: it goes whole.
    void FindStrayTags() {
        std::sort(known_.begin(), known_.end(),
                  [](const Range& a, const Range& b) { return a.from < b.from; });
        size_t k = 0;
        size_t coveredTo = 0;  // the known ranges starting before the scan point reach this far
        for (size_t p = lo_; p < hi_ && p + 1 < doc_.size(); ++p) {
            while (k < known_.size() && known_[k].from <= p) coveredTo = std::max(coveredTo, known_[k++].to);
            if (doc_[p] != '<' || !IsAsciiLetter(doc_[p + 1])) continue;
            if (p < coveredTo) continue;
            const size_t end = TagEnd(doc_, p);
            Cut(p, end);
            p = end - 1;
        }
    }

    std::vector<Range> Merged() {
        std::sort(cuts_.begin(), cuts_.end(), [](const Range& a, const Range& b) { return a.from < b.from; });
        std::vector<Range> out;
        for (const Range& r : cuts_) {
            if (!out.empty() && r.from <= out.back().to)
                out.back().to = std::max(out.back().to, r.to);
            else
                out.push_back(r);
        }
        return out;
    }

    const std::string& doc_;
    const size_t lo_;
    const size_t hi_;
    std::vector<Range> cuts_;
    std::vector<Range> known_;
};

// The parser's work grows with the square of the nesting depth: content
// nested deeper than any chapter is shown as text, and so is content with
// more tags than any chapter holds.
constexpr int kMaxDepth = 3000;
constexpr size_t kMaxTags = 200000;
constexpr int kMaxRounds = 8;

// Elements that hold nothing, or that the next of their kind closes.
bool NeverNests(const std::string& name) {
    return OneOf(name, {"br",  "img",   "hr",    "input",  "meta",  "link",   "wbr",   "area",  "base",
                        "col", "embed", "param", "source", "track", "keygen", "frame", "image", "p",
                        "li",  "dt",    "dd",    "option", "tr",    "td",     "th"});
}

// An upper bound of how deep the content nests (start tags of elements that
// hold something, less end tags), and whether it holds too many tags.
bool TooHeavy(const std::string& s) {
    int depth = 0;
    size_t tags = 0;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '<') continue;
        if (s[i + 1] == '/') {
            if (depth > 0) --depth;
            continue;
        }
        if (!IsAsciiLetter(s[i + 1])) continue;
        if (++tags > kMaxTags) return true;
        size_t end = i + 1;
        while (end < s.size() && !IsSpace(s[end]) && s[end] != '/' && s[end] != '>') ++end;
        if (!NeverNests(Lower(s.substr(i + 1, end - i - 1))) && ++depth > kMaxDepth) return true;
    }
    return false;
}

// Whether the only markup of the content is line breaks and paragraph
// tags, written plainly: "<br>", "<br/>", "<br />", "<p>", "</p>" in any case.
bool OnlyBreaks(const std::string& content) {
    static const char* const kTags[] = {"<br>", "<br/>", "<br />", "<p>", "</p>"};
    for (size_t at = content.find('<'); at != std::string::npos; at = content.find('<', at)) {
        size_t len = 0;
        for (const char* t : kTags) {
            const size_t n = std::strlen(t);
            if (content.size() - at < n) continue;
            size_t k = 0;
            // Letters in either case; every other byte as it stands.
            while (k < n &&
                   (content[at + k] == t[k] || (IsAsciiLetter(t[k]) && (content[at + k] | 0x20) == t[k])))
                ++k;
            if (k == n) {
                len = n;
                break;
            }
        }
        if (len == 0) return false;
        at += len;
    }
    return true;
}

// Whether the page before the content is plain markup that leaves the
// parser reading the body's text: only whole tags of the elements below
// (no raw text, comment, select, frameset or foreign element, which would
// make the content's tags text or drop them) and text without "<".
bool PlainFrame(const std::string& before) {
    static const char* const kNames[] = {"htm",    "html", "body", "base", "center", "table", "tbody",
                                         "tr",     "td",   "th",   "font", "b",      "i",     "u",
                                         "strong", "em",   "h1",   "h2",   "h3",     "h4",    "h5",
                                         "h6",     "p",    "br",   "hr",   "div",    "span"};
    for (size_t at = before.find('<'); at != std::string::npos; at = before.find('<', at)) {
        const bool end = at + 1 < before.size() && before[at + 1] == '/';
        const size_t name = at + (end ? 2 : 1);
        if (name >= before.size() || !IsAsciiLetter(before[name])) return false;
        size_t stop = name;
        while (stop < before.size() && !IsSpace(before[stop]) && before[stop] != '/' && before[stop] != '>')
            ++stop;
        const std::string tag = Lower(before.substr(name, stop - name));
        bool known = false;
        for (const char* n : kNames) known = known || tag == n;
        // An end tag of the body or the document would end the body.
        if (!known || (end && (tag == "body" || tag == "html"))) return false;
        const size_t close = FindTagEnd(before, name - 1);
        if (close == std::string::npos) return false;
        at = close;
    }
    return true;
}

std::string AllAsText(const std::string& content) {
    std::string out;
    out.reserve(content.size() + content.size() / 8);
    for (char c : content) {
        if (c == '<')
            out += "&lt;";
        else
            out.push_back(c);
    }
    return out;
}

}  // namespace

std::string CleanChapterHtml(const std::string& before, const std::string& content,
                             const std::string& after) {
    if (content.find('<') == std::string::npos) return content;  // no markup: nothing can be active
    if (TooHeavy(content)) return AllAsText(content);
    // Most chapters are text with line breaks.  After a plain frame each of
    // their tags is an element of its own, kept as written, so the parser
    // would find nothing to cut; reading them is most of an export's work.
    if (OnlyBreaks(content) && PlainFrame(before)) return content;
    return CleanChapterHtmlParsed(before, content, after);
}

std::string CleanChapterHtmlParsed(const std::string& before, const std::string& content,
                                   const std::string& after) {
    if (content.find('<') == std::string::npos) return content;
    if (TooHeavy(content)) return AllAsText(content);
    std::string text = content;
    for (int round = 0; round < kMaxRounds; ++round) {
        const std::string doc = before + text + after;
        const std::vector<Range> cuts = Pass(doc, before.size(), before.size() + text.size()).Run();
        if (cuts.empty()) return text;
        // Cutting can join what stood around a piece into new markup
        // ("<scr<script></script>ipt>"): the result is read again.
        std::string next;
        next.reserve(text.size());
        size_t at = before.size();
        for (const Range& r : cuts) {
            next.append(doc, at, r.from - at);
            at = r.to;
        }
        next.append(doc, at, before.size() + text.size() - at);
        text.swap(next);
    }
    return AllAsText(text);
}

std::string EscapePageText(const std::string& text) {
    if (text.find_first_of("<>") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out.push_back(c);
    }
    return out;
}

}  // namespace talvenor
