// Reading a rule file's steps and cleaners: each verb with the keys it
// takes, checked and compiled.
#include "catalogue/site_rules_loader.h"
#include "catalogue/site_rules_parse.h"
#include "text/encoding.h"

namespace talvenor::rules::detail {

const std::vector<std::pair<const char*, std::vector<const char*>>>& Loader::Verbs() {
    static const std::vector<std::pair<const char*, std::vector<const char*>>> v = {
        {"find", {"from", "to", "after"}},
        {"after_last", {"from", "to", "until"}},
        {"cut", {"at", "to", "start_to", "need_start", "moved"}},
        {"set", {"value"}},
        {"text", {"value"}},
        {"clean", {"with"}},
        {"parse", {"to", "ok"}},
        {"count", {"in", "from", "to"}},
        {"slice", {"from", "to"}},
        {"loop", {"while", "times", "advance"}},
        {"if", {"then", "else"}},
        {"emit", {}},
        {"out", {"value"}},
        {"progress", {}},
        {"break", {}},
        {"stop", {}},
        {"next", {}},
    };
    return v;
}

Step Loader::CompileStep(const toml::table& t) {
    Step s{};
    const std::vector<const char*>* allowed = nullptr;
    const toml::node* verbNode = nullptr;
    for (auto&& [key, node] : t) {
        for (auto& [verb, keys] : Verbs())
            if (key.str() == verb) {
                if (verbNode)
                    Fail(key.source(), "a step does one thing: '" + s.verb + "' and '" + verb + "'");
                s.verb = verb;
                allowed = &keys;
                verbNode = &node;
                s.line = static_cast<int>(key.source().begin.line);
                s.column = static_cast<int>(key.source().begin.column);
            }
    }
    if (!verbNode)
        Fail(t.source(),
             "a step without what it does (find, after_last, cut, set, text, clean, parse, count, "
             "slice, loop, if, emit, out, progress, break, stop, next)");
    for (auto&& [key, node] : t) {
        const std::string k(key.str());
        if (k == s.verb || k == "when") continue;
        bool ok = false;
        for (const char* a : *allowed) ok = ok || k == a;
        if (!ok) {
            std::string list = "when";
            for (const char* a : *allowed) list += std::string(", ") + a;
            Fail(key.source(), "unknown key '" + k + "' in a '" + s.verb + "' step (known: " + list + ")");
        }
    }
    auto get = [&](const char* k) { return t.get(k); };
    auto name = [&](const toml::node& n, const char* what) {
        const std::string v = StringOf(n, what);
        if (!ValidName(v)) Fail(n.source(), "'" + v + "' is not a name (letters, digits and _)");
        return v;
    };
    if (const toml::node* w = get("when")) s.when = CompileExpr(*w);
    const toml::node& v = *verbNode;
    const std::string& verb = s.verb;
    if (verb == "find" || verb == "after_last") {
        s.kind = verb == "find" ? Step::Find : Step::AfterLast;
        s.m1 = CompileTemplate(v, verb, true);
        if (const toml::node* f = get("from")) {
            s.from = CompileExpr(*f);
            s.hasFrom = true;
        }
        if (const toml::node* u = get("until")) s.value = CompileExpr(*u);
        s.dst = get("to") ? Define(name(*get("to"), "to"), true, get("to")->source()) : 0;
        if (const toml::node* a = get("after")) {
            if (!a->is_boolean() || verb != "find") Fail(a->source(), "'after' must be true or false");
            s.after = a->as_boolean()->get();
        }
    } else if (verb == "cut") {
        s.kind = Step::Cut;
        const toml::array* a = v.as_array();
        if (!a || a->size() != 2) Fail(v.source(), "'cut' takes two markers: [start, end]");
        s.m1 = CompileTemplate(*a->get(0), "cut", false);
        s.m2 = CompileTemplate(*a->get(1), "cut", false);
        s.at = get("at") ? Use(name(*get("at"), "at"), true, get("at")->source()) : 0;
        if (get("to")) s.dst = Define(name(*get("to"), "to"), false, get("to")->source());
        if (get("start_to"))
            s.dst2 = Define(name(*get("start_to"), "start_to"), true, get("start_to")->source());
        if (const toml::node* n = get("need_start")) {
            if (!n->is_boolean()) Fail(n->source(), "'need_start' must be true or false");
            s.needStart = n->as_boolean()->get();
        }
        if (get("moved")) s.moved = Define(name(*get("moved"), "moved"), true, get("moved")->source());
    } else if (verb == "set") {
        s.kind = Step::Set;
        if (!get("value")) Fail(t.source(), "'set' needs a 'value'");
        s.value = CompileExpr(*get("value"));
        s.dst = Define(name(v, "set"), true, v.source());
    } else if (verb == "text") {
        s.kind = Step::Text;
        if (!get("value")) Fail(t.source(), "'text' needs a 'value'");
        s.text = CompileTemplate(*get("value"), "value", false);
        s.dst = Define(name(v, "text"), false, v.source());
    } else if (verb == "clean") {
        s.kind = Step::Clean;
        s.dst = Use(name(v, "clean"), false, v.source());
        if (s.dst == 0) Fail(v.source(), "the page itself cannot be cleaned; cut a piece first");
        const toml::node* with = get("with");
        if (!with || !with->is_array()) Fail(t.source(), "'clean' needs 'with', an array of cleaners");
        for (const toml::node& c : *with->as_array()) s.cleaners.push_back(CompileCleaner(c));
    } else if (verb == "parse") {
        s.kind = Step::Parse;
        s.at = Use(name(v, "parse"), false, v.source());
        if (!get("to")) Fail(t.source(), "'parse' needs 'to', the name of the number");
        s.dst = Define(name(*get("to"), "to"), true, get("to")->source());
        if (get("ok")) s.dst2 = Define(name(*get("ok"), "ok"), true, get("ok")->source());
    } else if (verb == "count") {
        s.kind = Step::Count;
        s.m1 = CompileTemplate(v, "count", true);
        s.at = get("in") ? Use(name(*get("in"), "in"), false, get("in")->source()) : 0;
        if (get("from")) s.from = CompileExpr(*get("from"));
        if (!get("to")) Fail(t.source(), "'count' needs 'to', the name of the count");
        s.dst = Define(name(*get("to"), "to"), true, get("to")->source());
    } else if (verb == "slice") {
        s.kind = Step::Slice;
        if (!get("from") || !get("to")) Fail(t.source(), "'slice' needs 'from' and 'to'");
        s.from = CompileExpr(*get("from"));
        s.value = CompileExpr(*get("to"));
        s.dst = Define(name(v, "slice"), false, v.source());
    } else if (verb == "loop") {
        s.kind = Step::Loop;
        if (get("while")) s.value = CompileExpr(*get("while"));
        if (const toml::node* n = get("times")) {
            if (!n->is_integer() || n->as_integer()->get() < 0 || n->as_integer()->get() > 100000)
                Fail(n->source(), "'times' must be an integer from 0 to 100000");
            s.times = static_cast<int>(n->as_integer()->get());
        }
        if (s.times < 0 && s.value.Empty()) Fail(t.source(), "a loop needs 'while' or 'times'");
        s.block = Block(name(v, "loop"), v.source());
        // The position that must advance may be one the loop's steps set.
        s.dst = get("advance") ? Use(name(*get("advance"), "advance"), true, get("advance")->source()) : 0;
    } else if (verb == "if") {
        s.kind = Step::If;
        s.value = CompileExpr(v);
        if (!get("then")) Fail(t.source(), "'if' needs 'then', the steps to run");
        s.block = Block(name(*get("then"), "then"), get("then")->source());
        if (get("else")) s.elseBlock = Block(name(*get("else"), "else"), get("else")->source());
    } else if (verb == "emit") {
        s.kind = Step::Emit;
        const toml::table* fields = v.as_table();
        if (!fields || fields->empty())
            Fail(v.source(), "'emit' takes a table of fields: { name = \"{x}\" }");
        for (auto&& [fk, fv] : *fields) {
            const int slot = FieldSlot(kind_, std::string(fk.str()).c_str());
            if (slot < 0)
                Fail(fk.source(), "'" + std::string(fk.str()) + "' is no field of " + WalkName(kind_));
            s.emits.emplace_back(slot, CompileTemplate(fv, std::string(fk.str()), false));
        }
    } else if (verb == "out") {
        s.kind = Step::Out;
        s.dst = OutSlot(kind_, StringOf(v, "out").c_str());
        if (s.dst < 0) Fail(v.source(), "'" + StringOf(v, "out") + "' is no result of " + WalkName(kind_));
        if (!get("value")) Fail(t.source(), "'out' needs a 'value'");
        s.value = CompileExpr(*get("value"));
    } else if (verb == "progress") {
        s.kind = Step::Progress;
        s.value = CompileExpr(v);
    } else if (verb == "next") {
        // Only the walks whose pages run on: a chapter list, a chapter's
        // text, a book list.
        if (kind_ != WalkKind::Chapters && kind_ != WalkKind::Text && kind_ != WalkKind::BookList)
            Fail(v.source(), std::string("'next' has no meaning in ") + WalkName(kind_) +
                                 " (only in booklist, chapters and text)");
        s.kind = Step::Next;
        s.text = CompileTemplate(v, "next", false);
    } else if (verb == "break" || verb == "stop") {
        s.kind = verb == "break" ? Step::Break : Step::Stop;
        if (!v.is_boolean() || !v.as_boolean()->get()) Fail(v.source(), "'" + verb + "' must be true");
    }
    return s;
}

Cleaner Loader::CompileCleaner(const toml::node& n) {
    Cleaner c{};
    if (n.is_string()) {
        const std::string v = n.as_string()->get();
        static const std::pair<const char*, Cleaner::Kind> simple[] = {
            {"strip_tags", Cleaner::StripTags},
            {"remove_nbsp", Cleaner::RemoveNbsp},
            {"remove_blanks", Cleaner::RemoveBlanks},
            {"clean_link_text", Cleaner::CleanLinkText},
            {"trim", Cleaner::Trim},
            {"host_stem", Cleaner::HostStem}};
        for (auto& [sn, sk] : simple)
            if (v == sn) {
                c.kind = sk;
                return c;
            }
        Fail(n.source(),
             "unknown cleaner '" + v +
                 "' (known: strip_tags, remove_nbsp, remove_blanks, clean_link_text, trim, "
                 "host_stem, or a table: remove_all, between, before_last, drop_ends, drop_prefix, "
                 "insert_after)");
    }
    const toml::table* t = n.as_table();
    if (!t || t->empty()) Fail(n.source(), "a cleaner is a name or a table");
    const std::string k(t->begin()->first.str());
    const toml::node& v = t->begin()->second;
    auto only = [&](std::vector<const char*> keys) {
        for (auto&& [key, node] : *t) {
            bool ok = key.str() == k;
            for (const char* a : keys) ok = ok || key.str() == a;
            if (!ok)
                Fail(key.source(), "unknown key '" + std::string(key.str()) + "' in a '" + k + "' cleaner");
        }
    };
    if (k == "remove_all" || k == "drop_prefix") {
        only({});
        c.kind = k == "remove_all" ? Cleaner::RemoveAll : Cleaner::DropPrefix;
        c.a = CompileTemplate(v, k, false);
    } else if (k == "between") {
        only({});
        const toml::array* a = v.as_array();
        if (!a || a->size() != 2) Fail(v.source(), "'between' takes two markers");
        c.kind = Cleaner::Between;
        c.a = CompileTemplate(*a->get(0), k, true);
        c.b = CompileTemplate(*a->get(1), k, true);
    } else if (k == "before_last") {
        only({"skip", "missing"});
        c.kind = Cleaner::BeforeLast;
        c.a = CompileTemplate(v, k, true);
        if (const toml::node* s = t->get("skip")) {
            if (!s->is_integer() || s->as_integer()->get() < 0 || s->as_integer()->get() > 1000)
                Fail(s->source(), "'skip' must be an integer from 0 to 1000");
            c.skip = static_cast<int>(s->as_integer()->get());
        }
        if (const toml::node* m = t->get("missing")) {
            const std::string mv = StringOf(*m, "missing");
            if (mv != "keep" && mv != "empty") Fail(m->source(), "'missing' must be \"keep\" or \"empty\"");
            c.keepWhenMissing = mv == "keep";
        }
    } else if (k == "drop_ends") {
        only({});
        const toml::array* a = v.as_array();
        if (!a || a->size() != 2) Fail(v.source(), "'drop_ends' takes two counts: [head, tail]");
        c.kind = Cleaner::DropEnds;
        c.x = CompileExpr(*a->get(0));
        c.y = CompileExpr(*a->get(1));
    } else if (k == "insert_after") {
        only({"value", "unless"});
        c.kind = Cleaner::InsertAfter;
        c.a = CompileTemplate(v, k, true);
        if (!t->get("value")) Fail(t->source(), "'insert_after' needs a 'value'");
        c.b = CompileTemplate(*t->get("value"), "value", false);
        if (const toml::node* u = t->get("unless")) {
            c.c = CompileTemplate(*u, "unless", true);
            c.hasUnless = true;
        }
    } else {
        Fail(t->begin()->first.source(), "unknown cleaner '" + k + "'");
    }
    return c;
}

}  // namespace talvenor::rules::detail
