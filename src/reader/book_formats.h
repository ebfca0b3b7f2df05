// A whole book written as one file for e-readers: an EPUB 3 book or a plain
// text file.  The chapters come in as the sites' HTML (already cut out of
// their pages); this turns them into well-formed XHTML or into paragraphs
// of text with a real HTML parser.  Everything here is UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace talvenor {

enum class ExportFormat { Html, Epub, Txt };

// "html", "epub", "txt" (any case); false for anything else.
bool ParseExportFormat(const std::string& name, ExportFormat* format);
const char* ExportFormatName(ExportFormat format);

struct BookPicture {
    std::string name;       // its path inside the book, e.g. "images/p1.gif"
    std::string mediaType;  // image/gif, image/jpeg, image/png
    std::string bytes;
};

struct BookChapter {
    std::string title;
    std::string html;     // the chapter's content; empty for a failed chapter
    bool failed = false;  // could not be fetched: its place says so
};

struct BookContent {
    std::string title;
    std::string author;      // empty when the site gives none
    std::string identifier;  // a URN, the same for every export of the book
    std::vector<BookChapter> chapters;
    std::vector<BookPicture> pictures;
};

// The media type of a picture from its first bytes (GIF, JPEG, PNG); empty
// for anything else, which no reading program is bound to show.
std::string PictureMediaType(const std::string& bytes);

// A stable "urn:uuid:" identifier made from what names the book (its site
// and address): the same book always gets the same one.
std::string BookIdentifier(const std::string& name);

// The chapter's HTML as the content of an XHTML body: parsed as a browser
// parses it, active content (scripts, frames, plug-ins, forms, styles)
// dropped with everything inside it, presentational markup (font, center,
// tables, links) unwrapped to its text, attributes dropped, and block
// elements where only text may stand turned into line breaks.  A picture's
// src is handed to picture(); it stays (with the name returned) when that
// is not empty and goes otherwise.
std::string ChapterXhtml(const std::string& html,
                         const std::function<std::string(const std::string&)>& picture);

// The chapter's text as paragraphs: each line break or block ends a line,
// lines are trimmed of blanks (full-width and no-break ones too) and empty
// ones dropped.
std::vector<std::string> ChapterParagraphs(const std::string& html);

// The text "本章下载失败：TITLE" that stands in a failed chapter's place.
std::string FailedChapterText(const std::string& title);

// Writes the EPUB 3 book to path (a temporary file renamed over it, so a
// stopped export leaves no half book); throws FileError.  `modified` is the
// book's dcterms:modified time, "YYYY-MM-DDThh:mm:ssZ".
void WriteEpub(const BookContent& book, const std::string& path, const std::string& modified);

// The book as plain text: the title, then each chapter's title, each
// followed by an empty line, and paragraphs separated by an empty line.
// gbk: GBK bytes and CR LF line ends, for older readers; UTF-8 and LF otherwise.
std::string BookText(const BookContent& book, bool gbk);

}  // namespace talvenor
