// What the EPUB and the plain-text writers share: XML-safe text, how each
// element of a chapter's HTML is treated, and the parsed fragment.
#pragma once

#include <gumbo.h>

#include <string>

namespace talvenor {
namespace book_markup {

// Text fit for an XML document: markup characters as entities, and the
// characters XML cannot hold (controls, C1 controls, U+FFFE, U+FFFF) left out.
std::string XmlText(const std::string& s);

// A chapter without a title is named by its number.
std::string TitleOr(const std::string& title, size_t i);

// How an element of a chapter is written: dropped with what it holds,
// unwrapped to its content (with a line break after it, for blocks), kept
// as a paragraph, section or inline run, or as a break, rule or picture.
enum class Kind { Drop, Unwrap, UnwrapBreak, Paragraph, Section, Inline, Break, Rule, Picture };

Kind KindOf(GumboTag tag);

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

const GumboVector* ChildrenOf(const GumboNode* n);

}  // namespace book_markup
}  // namespace talvenor
