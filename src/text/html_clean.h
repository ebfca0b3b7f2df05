// Cleaning untrusted HTML that a site put into a chapter before the reader or
// the export puts it into a page: nothing in it may run script, load a frame
// or a plug-in, redirect the page or change where its links point.
#pragma once

#include <string>

namespace talvenor {

// Returns content without active markup: script, iframe, frame, frameset,
// object, embed, applet, meta, link and base elements and SVG animation
// elements go with everything inside them; form and noscript lose their own
// tags only (their text stays); event-handler attributes (on...) and
// javascript:, vbscript: and data: addresses in link, source and action
// attributes go; a start tag that the document would not keep where it
// stands (a second body tag whose attributes would be merged into the page's,
// a tag dropped inside a select) goes whole.  Every other byte is kept, so
// content without such markup comes back unchanged.
//
// before and after are the page around the content, exactly as it will be
// written: the content is read in their context, as the browser reads it
// (an unterminated tag at the end of the content closes in `after`).  The
// bytes are GBK or UTF-8; markup is ASCII in both.  Content that still held
// active markup after a few rounds (markup built to reassemble itself when
// a piece is cut out) comes back with every "<" written as "&lt;".
std::string CleanChapterHtml(const std::string& before, const std::string& content, const std::string& after);

// The same with every content read by the parser, also text with only line
// breaks that CleanChapterHtml passes unread after a plain page opening;
// the tests and the fuzz target hold the two to the same answers.
std::string CleanChapterHtmlParsed(const std::string& before, const std::string& content,
                                   const std::string& after);

// A title or name put into a page as text: "<" and ">" as entities, so it
// can open no element.  Entities already in it ("&amp;") still show as before.
std::string EscapePageText(const std::string& text);

}  // namespace talvenor
