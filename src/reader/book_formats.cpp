// EPUB 3 and plain-text books from the chapters an export gathered.
#include "reader/book_formats.h"

#include <gumbo.h>
#include <unistd.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>

#include "text/encoding.h"
#include "text/files.h"

namespace talvenor {

bool ParseExportFormat(const std::string& name, ExportFormat* format) {
    std::string n;
    for (char c : name) n += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (n == "html")
        *format = ExportFormat::Html;
    else if (n == "epub")
        *format = ExportFormat::Epub;
    else if (n == "txt")
        *format = ExportFormat::Txt;
    else
        return false;
    return true;
}

const char* ExportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Epub:
            return "epub";
        case ExportFormat::Txt:
            return "txt";
        default:
            return "html";
    }
}

std::string PictureMediaType(const std::string& b) {
    if (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0) return "image/gif";
    if (b.size() > 3 && static_cast<unsigned char>(b[0]) == 0xFF &&
        static_cast<unsigned char>(b[1]) == 0xD8 && static_cast<unsigned char>(b[2]) == 0xFF)
        return "image/jpeg";
    if (b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) return "image/png";
    return std::string();
}

namespace {

std::uint64_t Fnv1a(const std::string& s, std::uint64_t h) {
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string BookIdentifier(const std::string& name) {
    // 128 bits from two differently seeded hashes, marked as a version 8
    // (implementation-defined) UUID of the RFC 4122 variant.
    std::uint64_t hi = Fnv1a(name, 14695981039346656037ull);
    std::uint64_t lo = Fnv1a(name + "\x01talvenor", 0x84222325cbf29ce4ull);
    hi = (hi & ~0xF000ull) | 0x8000ull;
    lo = (lo & ~(3ull << 62)) | (2ull << 62);
    char buf[64];
    std::snprintf(buf, sizeof buf, "urn:uuid:%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                  static_cast<unsigned>(lo >> 48), static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return buf;
}

std::string FailedChapterText(const std::string& title) {
    return "本章下载失败：" + title;
}

namespace {

// Text fit for an XML document: markup characters as entities, and the
// characters XML cannot hold (controls, C1 controls, U+FFFE, U+FFFF) left out.
std::string XmlText(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
        if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(s[i + 2]) == 0xBE || static_cast<unsigned char>(s[i + 2]) == 0xBF)) {
            i += 2;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += static_cast<char>(c);
        }
    }
    return out;
}

enum class Kind { Drop, Unwrap, UnwrapBreak, Paragraph, Section, Inline, Break, Rule, Picture };

Kind KindOf(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_SCRIPT:
        case GUMBO_TAG_STYLE:
        case GUMBO_TAG_IFRAME:
        case GUMBO_TAG_FRAME:
        case GUMBO_TAG_FRAMESET:
        case GUMBO_TAG_OBJECT:
        case GUMBO_TAG_EMBED:
        case GUMBO_TAG_APPLET:
        case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_SVG:
        case GUMBO_TAG_MATH:
        case GUMBO_TAG_HEAD:
        case GUMBO_TAG_TITLE:
        case GUMBO_TAG_META:
        case GUMBO_TAG_LINK:
        case GUMBO_TAG_BASE:
        case GUMBO_TAG_INPUT:
        case GUMBO_TAG_BUTTON:
        case GUMBO_TAG_SELECT:
        case GUMBO_TAG_TEXTAREA:
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_AUDIO:
        case GUMBO_TAG_VIDEO:
        case GUMBO_TAG_CANVAS:
        case GUMBO_TAG_MAP:
        case GUMBO_TAG_AREA:
        case GUMBO_TAG_PARAM:
        case GUMBO_TAG_SOURCE:
        case GUMBO_TAG_TRACK:
        case GUMBO_TAG_NOEMBED:
        case GUMBO_TAG_NOFRAMES:
            return Kind::Drop;
        case GUMBO_TAG_P:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
            return Kind::Paragraph;
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_BLOCKQUOTE:
            return Kind::Section;
        case GUMBO_TAG_B:
        case GUMBO_TAG_STRONG:
        case GUMBO_TAG_I:
        case GUMBO_TAG_EM:
        case GUMBO_TAG_U:
        case GUMBO_TAG_S:
        case GUMBO_TAG_SUB:
        case GUMBO_TAG_SUP:
        case GUMBO_TAG_SMALL:
        case GUMBO_TAG_SPAN:
            return Kind::Inline;
        case GUMBO_TAG_BR:
            return Kind::Break;
        case GUMBO_TAG_HR:
            return Kind::Rule;
        case GUMBO_TAG_IMG:
            return Kind::Picture;
        case GUMBO_TAG_TR:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_CENTER:
        case GUMBO_TAG_ADDRESS:
        case GUMBO_TAG_SECTION:
        case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_HEADER:
        case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_ASIDE:
        case GUMBO_TAG_NAV:
        case GUMBO_TAG_MAIN:
        case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_CAPTION:
        case GUMBO_TAG_FORM:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_LEGEND:
        case GUMBO_TAG_DETAILS:
        case GUMBO_TAG_SUMMARY:
            return Kind::UnwrapBreak;
        default:
            return Kind::Unwrap;
    }
}

// The parsed fragment, freed with the object.
class Parsed {
  public:
    explicit Parsed(const std::string& html)
        : output_(gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size())) {}
    ~Parsed() { gumbo_destroy_output(&kGumboDefaultOptions, output_); }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    // The body the fragment went into (the parser always makes one).
    const GumboNode* Body() const {
        const GumboVector& top = output_->root->v.element.children;
        for (unsigned i = 0; i < top.length; ++i) {
            const GumboNode* n = static_cast<const GumboNode*>(top.data[i]);
            if (n->type == GUMBO_NODE_ELEMENT && n->v.element.tag == GUMBO_TAG_BODY) return n;
        }
        return nullptr;
    }

  private:
    GumboOutput* output_;
};

const GumboVector* ChildrenOf(const GumboNode* n) {
    if (n->type == GUMBO_NODE_ELEMENT) return &n->v.element.children;
    if (n->type == GUMBO_NODE_TEMPLATE) return nullptr;
    return nullptr;
}

class XhtmlWriter {
  public:
    explicit XhtmlWriter(const std::function<std::string(const std::string&)>& picture) : picture_(picture) {}

    void Children(const GumboNode* n, bool phrasing) {
        const GumboVector* c = ChildrenOf(n);
        if (!c) return;
        for (unsigned i = 0; i < c->length; ++i) Node(static_cast<const GumboNode*>(c->data[i]), phrasing);
    }

    void Node(const GumboNode* n, bool phrasing) {
        switch (n->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                out += XmlText(n->v.text.text);
                return;
            case GUMBO_NODE_ELEMENT:
                break;
            default:
                return;  // comments, documents
        }
        const GumboTag tag = n->v.element.tag;
        const char* name = gumbo_normalized_tagname(tag);
        switch (KindOf(tag)) {
            case Kind::Drop:
                return;
            case Kind::Unwrap:
                Children(n, phrasing);
                return;
            case Kind::UnwrapBreak:
                Children(n, phrasing);
                out += "<br/>";
                return;
            case Kind::Paragraph:
            case Kind::Section:
                if (phrasing) {
                    // Only text may stand here (inside a paragraph or a
                    // bold run): the block keeps its line of its own.
                    Children(n, true);
                    out += "<br/>";
                    return;
                }
                out += std::string("<") + name + ">";
                Children(n, KindOf(tag) == Kind::Paragraph);
                out += std::string("</") + name + ">";
                return;
            case Kind::Inline:
                out += std::string("<") + name + ">";
                Children(n, true);
                out += std::string("</") + name + ">";
                return;
            case Kind::Break:
                out += "<br/>";
                return;
            case Kind::Rule:
                out += phrasing ? "<br/>" : "<hr/>";
                return;
            case Kind::Picture: {
                const GumboAttribute* src = gumbo_get_attribute(&n->v.element.attributes, "src");
                const std::string local = src && picture_ ? picture_(src->value) : std::string();
                if (!local.empty()) out += "<img src=\"" + XmlText(local) + "\" alt=\"\"/>";
                return;
            }
        }
    }

    std::string out;

  private:
    const std::function<std::string(const std::string&)>& picture_;
};

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

std::string ChapterXhtml(const std::string& html,
                         const std::function<std::string(const std::string&)>& picture) {
    Parsed parsed(html);
    XhtmlWriter w(picture);
    if (const GumboNode* body = parsed.Body()) w.Children(body, false);
    return w.out;
}

std::vector<std::string> ChapterParagraphs(const std::string& html) {
    Parsed parsed(html);
    TextWriter w;
    if (const GumboNode* body = parsed.Body()) w.Children(body);
    w.EndLine();
    return w.lines;
}

namespace {

const char* const kXhtmlOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
    "xml:lang=\"zh\" lang=\"zh\">\n";

std::string Page(const std::string& title, const std::string& body) {
    return std::string(kXhtmlOpen) + "<head>\n<title>" + XmlText(title) +
           "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n</head>\n<body>\n" +
           body + "\n</body>\n</html>\n";
}

std::string ChapterName(size_t i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "c%04zu.xhtml", i + 1);
    return buf;
}

std::string TitleOr(const std::string& title, size_t i) {
    return title.empty() ? "第" + std::to_string(i + 1) + "章" : title;
}

// The characters of a UTF-8 string, one string each.
std::vector<std::string> Characters(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0xF0)
            n = 4;
        else if (c >= 0xE0)
            n = 3;
        else if (c >= 0xC0)
            n = 2;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

// The cover: the title in lines of up to eight characters, the author below.
std::string CoverSvg(const BookContent& book) {
    std::vector<std::string> chars = Characters(TitleOr(book.title, 0));
    std::vector<std::string> lines;
    for (size_t i = 0; i < chars.size() && lines.size() < 6; i += 8) {
        std::string l;
        for (size_t k = i; k < chars.size() && k < i + 8; ++k) l += chars[k];
        lines.push_back(l);
    }
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"600\" height=\"800\" "
        "viewBox=\"0 0 600 800\">\n"
        "<rect x=\"0\" y=\"0\" width=\"600\" height=\"800\" fill=\"#f4ecd8\"/>\n"
        "<rect x=\"30\" y=\"30\" width=\"540\" height=\"740\" fill=\"none\" stroke=\"#8b3a2b\" "
        "stroke-width=\"4\"/>\n";
    int y = 300 - static_cast<int>(lines.size()) * 35;
    for (const std::string& l : lines) {
        svg += "<text x=\"300\" y=\"" + std::to_string(y) +
               "\" font-size=\"56\" text-anchor=\"middle\" fill=\"#3b2a1a\" font-family=\"serif\">" +
               XmlText(l) + "</text>\n";
        y += 70;
    }
    if (!book.author.empty())
        svg += "<text x=\"300\" y=\"" + std::to_string(y + 60) +
               "\" font-size=\"32\" text-anchor=\"middle\" fill=\"#3b2a1a\" font-family=\"serif\">" +
               XmlText(book.author) + "</text>\n";
    svg += "</svg>\n";
    return svg;
}

class Zip {
  public:
    explicit Zip(const std::string& path) : path_(path) {
        int err = 0;
        z_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        if (!z_) {
            zip_error_t e;
            zip_error_init_with_code(&e, err);
            const std::string why = zip_error_strerror(&e);
            zip_error_fini(&e);
            throw FileError("cannot write " + path + ": " + why);
        }
    }
    ~Zip() {
        if (z_) zip_discard(z_);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    // The data is kept here until the archive is written.
    void Add(const std::string& name, std::string data, bool stored) {
        data_.push_back(std::move(data));
        const std::string& d = data_.back();
        zip_source_t* s = zip_source_buffer(z_, d.data(), d.size(), 0);
        if (!s) Fail();
        const zip_int64_t i = zip_file_add(z_, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (i < 0) {
            zip_source_free(s);
            Fail();
        }
        if (zip_set_file_compression(z_, static_cast<zip_uint64_t>(i), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     0) < 0)
            Fail();
    }
    void Close() {
        if (zip_close(z_) < 0) Fail();
        z_ = nullptr;
    }

  private:
    [[noreturn]] void Fail() { throw FileError("cannot write " + path_ + ": " + zip_strerror(z_)); }
    std::string path_;
    zip_t* z_;
    std::deque<std::string> data_;
};

}  // namespace

void WriteEpub(const BookContent& book, const std::string& path, const std::string& modified) {
    const std::string title = TitleOr(book.title, 0);
    std::string manifest, spine, nav, ncx;
    std::vector<std::pair<std::string, std::string>> pages;  // name, XHTML
    std::set<std::string> pictureNames;
    for (const BookPicture& p : book.pictures) pictureNames.insert(p.name);
    for (size_t i = 0; i < book.chapters.size(); ++i) {
        const BookChapter& c = book.chapters[i];
        const std::string name = ChapterName(i);
        const std::string heading = TitleOr(c.title, i);
        std::string body = "<h2>" + XmlText(heading) + "</h2>\n";
        if (c.failed) {
            body += "<p class=\"failed\">" + XmlText(FailedChapterText(heading)) + "</p>";
        } else {
            // Only pictures the book holds are shown.
            std::function<std::string(const std::string&)> picture = [&](const std::string& src) {
                return pictureNames.count(src) ? src : std::string();
            };
            body += "<div class=\"text\">" + ChapterXhtml(c.html, picture) + "</div>";
        }
        pages.emplace_back(name, Page(heading, body));
        const std::string id = "c" + std::to_string(i + 1);
        manifest += "<item id=\"" + id + "\" href=\"" + name + "\" media-type=\"application/xhtml+xml\"/>\n";
        spine += "<itemref idref=\"" + id + "\"/>\n";
        nav += "<li><a href=\"" + name + "\">" + XmlText(heading) + "</a></li>\n";
        ncx += "<navPoint id=\"np" + std::to_string(i + 1) + "\" playOrder=\"" + std::to_string(i + 1) +
               "\"><navLabel><text>" + XmlText(heading) + "</text></navLabel><content src=\"" + name +
               "\"/></navPoint>\n";
    }
    if (book.chapters.empty()) {
        // A navigation document lists at least one entry: the cover.
        nav += "<li><a href=\"cover.xhtml\">" + XmlText(title) + "</a></li>\n";
        ncx += "<navPoint id=\"np1\" playOrder=\"1\"><navLabel><text>" + XmlText(title) +
               "</text></navLabel><content src=\"cover.xhtml\"/></navPoint>\n";
    }
    for (size_t i = 0; i < book.pictures.size(); ++i)
        manifest += "<item id=\"p" + std::to_string(i + 1) + "\" href=\"" + XmlText(book.pictures[i].name) +
                    "\" media-type=\"" + book.pictures[i].mediaType + "\"/>\n";

    const std::string id = XmlText(book.identifier);
    std::string opf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"bookid\" "
        "xml:lang=\"zh\">\n"
        "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
        "<dc:identifier id=\"bookid\">" +
        id + "</dc:identifier>\n<dc:title>" + XmlText(title) + "</dc:title>\n";
    if (!book.author.empty()) opf += "<dc:creator>" + XmlText(book.author) + "</dc:creator>\n";
    opf += "<dc:language>zh</dc:language>\n<meta property=\"dcterms:modified\">" + modified +
           "</meta>\n<meta name=\"cover\" content=\"cover-image\"/>\n</metadata>\n<manifest>\n"
           "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
           "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n"
           "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n"
           "<item id=\"cover-image\" href=\"cover.svg\" media-type=\"image/svg+xml\" "
           "properties=\"cover-image\"/>\n"
           "<item id=\"cover\" href=\"cover.xhtml\" media-type=\"application/xhtml+xml\"/>\n" +
           manifest +
           "</manifest>\n<spine toc=\"ncx\">\n<itemref idref=\"cover\"/>\n<itemref idref=\"nav\"/>\n" +
           spine + "</spine>\n</package>\n";

    const std::string navDoc =
        Page("目录", "<nav epub:type=\"toc\" id=\"toc\">\n<h1>目录</h1>\n<ol>\n" + nav + "</ol>\n</nav>");
    const std::string ncxDoc =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"zh\">\n"
        "<head>\n<meta name=\"dtb:uid\" content=\"" +
        id +
        "\"/>\n<meta name=\"dtb:depth\" content=\"1\"/>\n<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
        "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n</head>\n<docTitle><text>" +
        XmlText(title) + "</text></docTitle>\n<navMap>\n" + ncx + "</navMap>\n</ncx>\n";
    std::string coverBody =
        "<div class=\"cover\"><img src=\"cover.svg\" alt=\"" + XmlText(title) + "\"/></div>";
    const std::string css =
        "body { margin: 0 1em; line-height: 1.6; }\n"
        "h1, h2 { text-align: center; }\n"
        "div.cover { text-align: center; }\n"
        "div.cover img { max-width: 100%; max-height: 100%; }\n"
        "p.failed { color: #a00; }\n";

    const std::string tmp = path + ".part-" + std::to_string(getpid());
    {
        Zip zip(tmp);
        // The mimetype comes first and is stored, so that a reader can tell
        // the book by its first bytes.
        zip.Add("mimetype", "application/epub+zip", true);
        zip.Add("META-INF/container.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
                "<rootfiles><rootfile full-path=\"OEBPS/content.opf\" "
                "media-type=\"application/oebps-package+xml\"/></rootfiles>\n</container>\n",
                false);
        zip.Add("OEBPS/content.opf", std::move(opf), false);
        zip.Add("OEBPS/nav.xhtml", navDoc, false);
        zip.Add("OEBPS/toc.ncx", ncxDoc, false);
        zip.Add("OEBPS/style.css", css, false);
        zip.Add("OEBPS/cover.svg", CoverSvg(book), false);
        zip.Add("OEBPS/cover.xhtml", Page(title, coverBody), false);
        for (auto& p : pages) zip.Add("OEBPS/" + p.first, std::move(p.second), false);
        for (const BookPicture& p : book.pictures) zip.Add("OEBPS/" + p.name, p.bytes, true);
        try {
            zip.Close();
        } catch (...) {
            std::remove(tmp.c_str());
            throw;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        throw FileError("cannot write " + path + ": " + std::strerror(errno));
    }
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
