// The parts of reading a rule file that do not need the TOML tree: the
// check of the raw text before it is parsed, and the compiler of the
// expressions in conditions and values.
#include "catalogue/site_rules_parse.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace talvenor::rules {

// TOML allows other than ASCII only inside strings and comments.  The
// parser's own check of such a character where a blank may stand is not
// sound in the library version we build on, so the file is checked here
// first: the error names the character's line and column.  The parser also
// looks past a bare value (a number, true) over every character that cannot
// end one, "[" and quotes included, into a string run into it; so a string
// may not follow a bare word or number directly ("100['x'", "a.'b'").
void CheckAsciiOutsideStrings(const std::string& text, const std::string& file) {
    enum { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral } state = Plain;
    bool bare = false;  // outside strings: within a run of bare characters
    int line = 1, column = 1;
    auto starts = [&](size_t i, const char* m) { return text.compare(i, std::strlen(m), m) == 0; };
    auto skip = [&](size_t& i, size_t n) {
        i += n;
        column += static_cast<int>(n);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int atLine = line, atColumn = column;
        if (c == '\n') {
            ++line;
            column = 1;
        } else if (c < 0x80 || c >= 0xC0) {
            ++column;  // a character, not a UTF-8 continuation byte
        }
        switch (state) {
        case Plain:
            if (c >= 0x80)
                throw RuleFileError(
                    {file, atLine, atColumn, "a character other than ASCII outside a string or a comment"});
            if ((c == '"' || c == '\'') && bare)
                throw RuleFileError({file, atLine, atColumn, "a string run into a bare word or number"});
            if (c == '"' || c == '\'' || (c != '[' && c != '{' && !std::strchr(" \t\r\n=,]}#", c)) || c == 0)
                bare = true;  // a string just closed counts as a word
            else if (c != '[' && c != '{')
                bare = false;  // an opener continues the run it stands in
            if (c == '#') {
                state = Comment;
            } else if (starts(i, "\"\"\"")) {
                state = MultiBasic;
                skip(i, 2);
            } else if (starts(i, "'''")) {
                state = MultiLiteral;
                skip(i, 2);
            } else if (c == '"') {
                state = Basic;
            } else if (c == '\'') {
                state = Literal;
            }
            break;
        case Comment:
            if (c == '\n') {
                state = Plain;
                bare = false;
            }
            break;
        case Basic:
        case MultiBasic:
            if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
                skip(i, 1);  // an escaped character
            } else if (state == Basic && (c == '"' || c == '\n')) {
                state = Plain;
                if (c == '\n') bare = false;
            } else if (state == MultiBasic && starts(i, "\"\"\"")) {
                state = Plain;
                skip(i, 2);
            }
            break;
        case Literal:
            if (c == '\'' || c == '\n') state = Plain;
            if (c == '\n') bare = false;
            break;
        case MultiLiteral:
            if (starts(i, "'''")) {
                state = Plain;
                skip(i, 2);
            }
            break;
        }
    }
}

namespace {

struct ExprParser {
    const NameUse& use;
    const std::string& s;
    size_t i = 0;
    Expr out;
    int depth = 0, maxDepth = 0, nest = 0;

    void Push(Token t, int change) {
        out.code.push_back(t);
        depth += change;
        if (depth > maxDepth) maxDepth = depth;
    }
    [[noreturn]] void Err(const std::string& m) { throw ExprError(m); }
    void Blank() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    }
    bool Take(const char* t) {
        Blank();
        const size_t n = std::char_traits<char>::length(t);
        if (s.compare(i, n, t) == 0) {
            // "<" must not take the "<" of "<=", "!" not the one of "!=".
            if ((n == 1 && (t[0] == '<' || t[0] == '>' || t[0] == '!' || t[0] == '=')) && i + 1 < s.size() &&
                s[i + 1] == '=')
                return false;
            i += n;
            return true;
        }
        return false;
    }
    std::string Ident() {
        Blank();
        size_t b = i;
        while (i < s.size() && (isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
        return s.substr(b, i - b);
    }
    void Or() {
        And();
        while (Take("||")) {
            And();
            Push({Op::Or}, -1);
        }
    }
    void And() {
        Cmp();
        while (Take("&&")) {
            Cmp();
            Push({Op::And}, -1);
        }
    }
    void Cmp() {
        Sum();
        for (;;) {
            Op op;
            if (Take("<="))
                op = Op::Le;
            else if (Take(">="))
                op = Op::Ge;
            else if (Take("=="))
                op = Op::Eq;
            else if (Take("!="))
                op = Op::Ne;
            else if (Take("<"))
                op = Op::Lt;
            else if (Take(">"))
                op = Op::Gt;
            else
                return;
            Sum();
            Push({op}, -1);
        }
    }
    void Sum() {
        Unary();
        for (;;) {
            if (Take("+")) {
                Unary();
                Push({Op::Add}, -1);
            } else if (Take("-")) {
                Unary();
                Push({Op::Sub}, -1);
            } else {
                return;
            }
        }
    }
    void Unary() {
        if (++nest > 100) Err("too deeply nested");
        if (Take("!")) {
            Unary();
            Push({Op::Not}, 0);
        } else if (Take("-")) {
            Unary();
            Push({Op::Neg}, 0);
        } else {
            Primary();
        }
        --nest;
    }
    void Primary() {
        Blank();
        if (Take("(")) {
            Or();
            if (!Take(")")) Err("')' expected");
            return;
        }
        if (i < s.size() && isdigit(static_cast<unsigned char>(s[i]))) {
            long long v = 0;
            while (i < s.size() && isdigit(static_cast<unsigned char>(s[i]))) {
                v = v * 10 + (s[i++] - '0');
                if (v > INT32_MAX) Err("number too large");
            }
            Push({Op::Const, 0, 0, v}, 1);
            return;
        }
        const std::string id = Ident();
        if (id.empty()) Err(i < s.size() ? std::string("unexpected '") + s[i] + "'" : "value expected");
        static const std::pair<const char*, int> consts[] = {{"NEXT", kNext}, {"END", kEnd}, {"BROKEN", kBroken},
                                                             {"FOUND", kFound}, {"NOTFOUND", kNotFound},
                                                             {"SILENT", kSilent}};
        for (auto& [cn, cv] : consts)
            if (id == cn) {
                Push({Op::Const, 0, 0, cv}, 1);
                return;
            }
        if (Take("(")) {
            Op op;
            int args = 1;
            if (id == "empty")
                op = Op::StrEmpty;
            else if (id == "len")
                op = Op::StrLen;
            else if (id == "eq")
                op = Op::StrEq, args = 2;
            else if (id == "has")
                op = Op::StrHas, args = 2;
            else
                Err("unknown function '" + id + "' (known: empty, len, eq, has)");
            Token t{op};
            t.a = use(Ident(), false);
            if (args == 2) {
                if (!Take(",")) Err("',' expected");
                t.b = use(Ident(), false);
            }
            if (!Take(")")) Err("')' expected");
            Push(t, 1);
            return;
        }
        Push({Op::Int, use(id, true)}, 1);
    }
};

}  // namespace

Expr ParseExpr(const std::string& s, const NameUse& use) {
    ExprParser p{use, s, 0, Expr(), 0, 0, 0};
    p.Or();
    p.Blank();
    if (p.i != s.size()) p.Err(std::string("unexpected '") + s[p.i] + "'");
    if (p.maxDepth > 30) p.Err("too deeply nested");
    SetForm(p.out);
    return std::move(p.out);
}

}  // namespace talvenor::rules
