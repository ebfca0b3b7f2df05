// EPUB 3 books from the chapters an export gathered.
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>

#include "reader/book_formats.h"
#include "reader/book_markup.h"
#include "text/files.h"

namespace talvenor {

using book_markup::ChildrenOf;
using book_markup::Kind;
using book_markup::KindOf;
using book_markup::Parsed;
using book_markup::TitleOr;
using book_markup::XmlText;

namespace {

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

}  // namespace

std::string ChapterXhtml(const std::string& html,
                         const std::function<std::string(const std::string&)>& picture) {
    Parsed parsed(html);
    XhtmlWriter w(picture);
    if (const GumboNode* body = parsed.Body()) w.Children(body, false);
    return w.out;
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

}  // namespace talvenor
