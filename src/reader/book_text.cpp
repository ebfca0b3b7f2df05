// Plain-text books from the chapters an export gathered.
#include <cstring>

#include "reader/book_formats.h"
#include "reader/book_markup.h"
#include "text/encoding.h"

namespace talvenor {

using book_markup::ChildrenOf;
using book_markup::Kind;
using book_markup::KindOf;
using book_markup::Parsed;
using book_markup::TitleOr;

namespace {

class TextWriter {
  public:
    void Children(const GumboNode* n) {
        const GumboVector* c = ChildrenOf(n);
        if (!c) return;
        for (unsigned i = 0; i < c->length; ++i) Node(static_cast<const GumboNode*>(c->data[i]));
    }

    void Node(const GumboNode* n) {
        switch (n->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                Text(n->v.text.text);
                return;
            case GUMBO_NODE_ELEMENT:
                break;
            default:
                return;
        }
        switch (KindOf(n->v.element.tag)) {
            case Kind::Drop:
            case Kind::Picture:
                return;
            case Kind::Unwrap:
            case Kind::Inline:
                Children(n);
                return;
            case Kind::Break:
            case Kind::Rule:
                EndLine();
                return;
            default:
                EndLine();
                Children(n);
                EndLine();
                return;
        }
    }

    void Text(const char* s) {
        // As a browser shows it: any run of blanks and line breaks in the
        // source is one blank.
        for (; *s; ++s) {
            const char c = *s;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                if (!line_.empty() && line_.back() != ' ') line_ += ' ';
            } else if (static_cast<unsigned char>(c) >= 0x20 || c < 0) {
                line_ += c;
            }
        }
    }

    void EndLine() {
        std::string t = Trimmed(line_);
        if (!t.empty()) lines.push_back(XmlSafe(t));
        line_.clear();
    }

    std::vector<std::string> lines;

  private:
    static std::string Trimmed(const std::string& s) {
        static const char* const blanks[] = {" ", "\t", "\xC2\xA0", "\xE3\x80\x80"};
        size_t b = 0, e = s.size();
        for (bool more = true; more;) {
            more = false;
            for (const char* k : blanks) {
                const size_t n = std::strlen(k);
                if (e - b >= n && s.compare(b, n, k) == 0) {
                    b += n;
                    more = true;
                }
                if (e - b >= n && s.compare(e - n, n, k) == 0) {
                    e -= n;
                    more = true;
                }
            }
        }
        return s.substr(b, e - b);
    }
    // Plain text keeps no markup, but no stray control character either.
    static std::string XmlSafe(const std::string& s) {
        std::string out;
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        return out;
    }
    std::string line_;
};

}  // namespace

std::vector<std::string> ChapterParagraphs(const std::string& html) {
    Parsed parsed(html);
    TextWriter w;
    if (const GumboNode* body = parsed.Body()) w.Children(body);
    w.EndLine();
    return w.lines;
}

std::string BookText(const BookContent& book, bool gbk) {
    const char* nl = gbk ? "\r\n" : "\n";
    std::string out = TitleOr(book.title, 0) + nl + nl;
    for (size_t i = 0; i < book.chapters.size(); ++i) {
        const BookChapter& c = book.chapters[i];
        const std::string heading = TitleOr(c.title, i);
        out += heading + nl + nl;
        std::vector<std::string> paragraphs =
            c.failed ? std::vector<std::string>{FailedChapterText(heading)} : ChapterParagraphs(c.html);
        for (const std::string& p : paragraphs) out += p + nl + nl;
    }
    return gbk ? Utf8ToGbk(out) : out;
}

}  // namespace talvenor
