#include "reader/book_markup.h"

namespace talvenor {
namespace book_markup {

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

std::string TitleOr(const std::string& title, size_t i) {
    return title.empty() ? "第" + std::to_string(i + 1) + "章" : title;
}

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

const GumboVector* ChildrenOf(const GumboNode* n) {
    if (n->type == GUMBO_NODE_ELEMENT) return &n->v.element.children;
    if (n->type == GUMBO_NODE_TEMPLATE) return nullptr;
    return nullptr;
}

}  // namespace book_markup
}  // namespace talvenor
