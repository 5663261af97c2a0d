// RegExp with ECMAScript 3 patterns: a small backtracking matcher over bytes (no standard
// <regex>, which is large and throws). Steps are counted so a pathological pattern ends.
#include <cstring>
#include <memory>

#include "player/core/avm2/vm.h"

namespace avm2 {

namespace {

struct Node {
    enum K { Char, Any, Class, Start, End, WordB, NotWordB, Group, Alt, Repeat, Back, Look } k;
    std::string set; // Class: pairs of range ends
    bool negate = false;
    char c = 0;
    int group = -1;                                       // capture index, -1 none
    std::vector<std::vector<std::unique_ptr<Node>>> alts; // Group/Look: alternatives
    std::unique_ptr<Node> body;                           // Repeat
    int min = 0, max = -1;
    bool lazy = false;
    explicit Node(K kind) : k(kind) {}
};
using Seq = std::vector<std::unique_ptr<Node>>;

struct Pattern {
    std::unique_ptr<Node> root;
    int groups = 1;
    bool ignoreCase = false, multiline = false, dotall = false, extended = false;
    std::vector<std::pair<std::string, int>> names; // (?P<name>...): name, capture index
};

struct Parser {
    const std::string& p;
    size_t i = 0;
    Pattern& out;
    bool ok = true;
    int depth = 0;

    void ClassEscape(char e, std::string& set) {
        auto add = [&](char a, char b) {
            set += a;
            set += b;
        };
        switch (e) {
        case 'd':
            add('0', '9');
            break;
        case 'w':
            add('a', 'z');
            add('A', 'Z');
            add('0', '9');
            add('_', '_');
            break;
        case 's':
            add(' ', ' ');
            add('\t', '\r');
            break;
        case 'n':
            add('\n', '\n');
            break;
        case 'r':
            add('\r', '\r');
            break;
        case 't':
            add('\t', '\t');
            break;
        default:
            add(e, e);
            break;
        }
    }

    std::unique_ptr<Node> Atom() {
        const char ch = p[i++];
        switch (ch) {
        case '.':
            return std::unique_ptr<Node>(new Node(Node::Any));
        case '^':
            return std::unique_ptr<Node>(new Node(Node::Start));
        case '$':
            return std::unique_ptr<Node>(new Node(Node::End));
        case '(': {
            std::unique_ptr<Node> g(new Node(Node::Group));
            if (p.compare(i, 2, "?#") == 0) { // a comment: matches nothing, takes nothing
                const size_t end = p.find(')', i);
                if (end == std::string::npos) {
                    ok = false;
                    return g;
                }
                i = end + 1;
                g->alts.emplace_back();
                return g;
            }
            if (p.compare(i, 3, "?P<") == 0) { // a named capture
                const size_t end = p.find('>', i);
                if (end == std::string::npos || out.names.size() >= 1000) {
                    ok = false;
                    return g;
                }
                out.names.emplace_back(p.substr(i + 3, end - i - 3), out.groups);
                i = end + 1;
                g->group = out.groups++;
            } else if (p.compare(i, 2, "?:") == 0) {
                i += 2;
            } else if (p.compare(i, 2, "?=") == 0 || p.compare(i, 2, "?!") == 0) {
                g->k = Node::Look;
                g->negate = p[i + 1] == '!';
                i += 2;
            } else {
                g->group = out.groups++;
            }
            if (++depth > 200) {
                ok = false;
                return g;
            }
            Alternatives(g->alts);
            --depth;
            if (i < p.size() && p[i] == ')')
                ++i;
            else
                ok = false;
            return g;
        }
        case '[': {
            std::unique_ptr<Node> c(new Node(Node::Class));
            if (i < p.size() && p[i] == '^') {
                c->negate = true;
                ++i;
            }
            bool first = true;
            while (i < p.size() && (p[i] != ']' || first)) {
                first = false;
                char a = p[i++];
                if (a == '\\' && i < p.size()) {
                    const char e = p[i++];
                    if (std::strchr("dwsDWS", e)) {
                        // Negated classes inside a set: approximate by their positive part.
                        ClassEscape(char(std::tolower(e)), c->set);
                        continue;
                    }
                    std::string one;
                    ClassEscape(e, one);
                    a = one[0];
                }
                char b = a;
                if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
                    ++i;
                    b = p[i++];
                    if (b == '\\' && i < p.size()) {
                        std::string one;
                        ClassEscape(p[i++], one);
                        b = one[0];
                    }
                }
                c->set += a;
                c->set += b;
            }
            if (i < p.size())
                ++i;
            else
                ok = false;
            return c;
        }
        case '\\': {
            if (i >= p.size()) {
                ok = false;
                return std::unique_ptr<Node>(new Node(Node::Char));
            }
            const char e = p[i++];
            if (e == 'b' || e == 'B')
                return std::unique_ptr<Node>(new Node(e == 'b' ? Node::WordB : Node::NotWordB));
            if (e >= '1' && e <= '9') {
                std::unique_ptr<Node> n(new Node(Node::Back));
                n->group = e - '0';
                return n;
            }
            if (std::strchr("dwsDWS", e)) {
                std::unique_ptr<Node> c(new Node(Node::Class));
                ClassEscape(char(std::tolower(e)), c->set);
                c->negate = std::isupper(uint8_t(e)) != 0;
                return c;
            }
            std::unique_ptr<Node> n(new Node(Node::Char));
            std::string one;
            ClassEscape(e, one);
            n->c = one[0];
            return n;
        }
        default: {
            std::unique_ptr<Node> n(new Node(Node::Char));
            n->c = ch;
            return n;
        }
        }
    }

    void Sequence(Seq& seq) {
        while (i < p.size() && p[i] != '|' && p[i] != ')' && ok) {
            if (out.extended && (p[i] == ' ' || p[i] == '\n' || p[i] == '\t')) {
                ++i;
                continue;
            }
            std::unique_ptr<Node> a = Atom();
            while (out.extended && i < p.size() && (p[i] == ' ' || p[i] == '\n' || p[i] == '\t'))
                ++i; // extended patterns may space a quantifier from its atom
            if (i < p.size() && (p[i] == '*' || p[i] == '+' || p[i] == '?' || p[i] == '{')) {
                std::unique_ptr<Node> r(new Node(Node::Repeat));
                const char q = p[i];
                if (q == '{') {
                    size_t j = i + 1;
                    int mn = 0, mx = -1;
                    bool digits = false;
                    while (j < p.size() && std::isdigit(uint8_t(p[j])))
                        mn = std::min(mn * 10 + (p[j++] - '0'), 100000), digits = true;
                    if (!digits) {
                        seq.push_back(std::move(a));
                        continue;
                    }
                    if (j < p.size() && p[j] == ',') {
                        ++j;
                        if (j < p.size() && std::isdigit(uint8_t(p[j]))) {
                            mx = 0;
                            while (j < p.size() && std::isdigit(uint8_t(p[j])))
                                mx = std::min(mx * 10 + (p[j++] - '0'), 100000);
                        }
                    } else {
                        mx = mn;
                    }
                    if (j >= p.size() || p[j] != '}') {
                        seq.push_back(std::move(a));
                        continue;
                    }
                    i = j + 1;
                    r->min = mn;
                    r->max = mx;
                } else {
                    ++i;
                    r->min = q == '+' ? 1 : 0;
                    r->max = q == '?' ? 1 : -1;
                }
                if (i < p.size() && p[i] == '?') {
                    r->lazy = true;
                    ++i;
                }
                r->body = std::move(a);
                a = std::move(r);
            }
            seq.push_back(std::move(a));
        }
    }

    void Alternatives(std::vector<Seq>& alts) {
        alts.emplace_back();
        Sequence(alts.back());
        while (ok && i < p.size() && p[i] == '|') {
            ++i;
            alts.emplace_back();
            Sequence(alts.back());
        }
    }
};

// What is left to match after a node: the rest of a sequence, the end of a group (its
// capture), one more round of a repeat, or the end of the pattern.
struct Cont {
    enum K { Rest, GroupEnd, RepeatNext, Done } k;
    const Seq* seq = nullptr;
    size_t index = 0;
    const Node* node = nullptr;
    int start = 0, count = 0;
    const Cont* next = nullptr;
};

struct Matcher {
    const Pattern& pat;
    const std::string& s;
    std::vector<int> caps; // start, end per group
    long steps = 0;
    int depth = 0; // native recursion: a long subject fails rather than overflows
    int end = -1;

    bool Word(int at) const {
        if (at < 0 || at >= int(s.size()))
            return false;
        const char c = s[size_t(at)];
        return std::isalnum(uint8_t(c)) || c == '_';
    }
    bool Same(char a, char b) const {
        return a == b || (pat.ignoreCase && std::tolower(uint8_t(a)) == std::tolower(uint8_t(b)));
    }
    bool InClass(const Node& n, char c) const {
        bool in = false;
        for (size_t k = 0; k + 1 < n.set.size() && !in; k += 2) {
            if (c >= n.set[k] && c <= n.set[k + 1])
                in = true;
            else if (pat.ignoreCase) {
                const char l = char(std::tolower(uint8_t(c))), u = char(std::toupper(uint8_t(c)));
                in = (l >= n.set[k] && l <= n.set[k + 1]) || (u >= n.set[k] && u <= n.set[k + 1]);
            }
        }
        return in != n.negate;
    }

    bool Match(const Cont* c, int at) {
        if (++steps > 2000000 || depth > 1200)
            return false;
        ++depth;
        const bool r = MatchIn(c, at);
        --depth;
        return r;
    }

    bool MatchIn(const Cont* c, int at) {
        switch (c->k) {
        case Cont::Done:
            end = at;
            return true;
        case Cont::Rest: {
            if (c->index == c->seq->size())
                return Match(c->next, at);
            Cont rest{Cont::Rest, c->seq, c->index + 1, nullptr, 0, 0, c->next};
            return One(*(*c->seq)[c->index], at, &rest);
        }
        case Cont::GroupEnd: {
            const int g = c->node->group;
            const int a = caps[size_t(2 * g)], b = caps[size_t(2 * g + 1)];
            caps[size_t(2 * g)] = c->start;
            caps[size_t(2 * g + 1)] = at;
            if (Match(c->next, at))
                return true;
            caps[size_t(2 * g)] = a;
            caps[size_t(2 * g + 1)] = b;
            return false;
        }
        case Cont::RepeatNext:
            if (at == c->start && c->count + 1 > c->node->min)
                return false; // an empty round would loop
            return Rep(*c->node, at, c->count + 1, c->next);
        }
        return false;
    }

    bool One(const Node& n, int at, const Cont* k) {
        const int size = int(s.size());
        switch (n.k) {
        case Node::Char:
            return at < size && Same(s[size_t(at)], n.c) && Match(k, at + 1);
        case Node::Any:
            return at < size && (pat.dotall || (s[size_t(at)] != '\n' && s[size_t(at)] != '\r')) &&
                   Match(k, at + 1);
        case Node::Class:
            return at < size && InClass(n, s[size_t(at)]) && Match(k, at + 1);
        case Node::Start:
            return (at == 0 ||
                    (pat.multiline && (s[size_t(at - 1)] == '\n' || s[size_t(at - 1)] == '\r'))) &&
                   Match(k, at);
        case Node::End:
            return (at == size ||
                    (pat.multiline && (s[size_t(at)] == '\n' || s[size_t(at)] == '\r'))) &&
                   Match(k, at);
        case Node::WordB:
        case Node::NotWordB:
            return ((Word(at - 1) != Word(at)) == (n.k == Node::WordB)) && Match(k, at);
        case Node::Back: {
            if (size_t(2 * n.group + 1) >= caps.size())
                return Match(k, at);
            const int a = caps[size_t(2 * n.group)], b = caps[size_t(2 * n.group + 1)];
            if (a < 0 || b < 0)
                return Match(k, at);
            const int len = b - a;
            if (at + len > size)
                return false;
            for (int j = 0; j < len; ++j)
                if (!Same(s[size_t(a + j)], s[size_t(at + j)]))
                    return false;
            return Match(k, at + len);
        }
        case Node::Look: {
            const std::vector<int> saved = caps;
            const int savedEnd = end;
            bool found = false;
            Cont done{Cont::Done, nullptr, 0, nullptr, 0, 0, nullptr};
            for (const Seq& alt : n.alts) {
                Cont seq{Cont::Rest, &alt, 0, nullptr, 0, 0, &done};
                if (Match(&seq, at)) {
                    found = true;
                    break;
                }
            }
            end = savedEnd;
            if (found == n.negate || n.negate)
                caps = saved;
            if (found == n.negate)
                return false;
            return Match(k, at);
        }
        case Node::Group: {
            Cont close{Cont::GroupEnd, nullptr, 0, &n, at, 0, k};
            for (const Seq& alt : n.alts) {
                Cont seq{Cont::Rest, &alt, 0, nullptr, 0, 0, n.group >= 0 ? &close : k};
                if (Match(&seq, at))
                    return true;
                if (steps > 2000000)
                    return false;
            }
            return false;
        }
        case Node::Repeat:
            return Rep(n, at, 0, k);
        case Node::Alt:
            break;
        }
        return false;
    }

    bool Rep(const Node& n, int at, int count, const Cont* k) {
        const bool more = n.max < 0 || count < n.max;
        Cont again{Cont::RepeatNext, nullptr, 0, &n, at, count, k};
        if (count < n.min)
            return One(*n.body, at, &again);
        if (n.lazy)
            return Match(k, at) || (more && One(*n.body, at, &again));
        return (more && One(*n.body, at, &again)) || Match(k, at);
    }

    bool At(int start, int* out) {
        caps.assign(size_t(pat.groups * 2), -1);
        end = -1;
        Cont done{Cont::Done, nullptr, 0, nullptr, 0, 0, nullptr};
        if (!One(*pat.root, start, &done))
            return false;
        caps[0] = start;
        caps[1] = end;
        *out = end;
        return true;
    }
};

struct RegExpData : Extra {
    std::string source, flags;
    Pattern pat;
    bool global = false;
};

RegExpData* Data(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::RegExp ? static_cast<RegExpData*>(v.o->extra.get())
                                                     : nullptr;
}

void Compile(RegExpData* d) {
    d->pat = Pattern();
    d->global = d->flags.find('g') != std::string::npos;
    d->pat.ignoreCase = d->flags.find('i') != std::string::npos;
    d->pat.multiline = d->flags.find('m') != std::string::npos;
    d->pat.dotall = d->flags.find('s') != std::string::npos;
    d->pat.extended = d->flags.find('x') != std::string::npos;
    d->pat.root.reset(new Node(Node::Group));
    Parser parser{d->source, 0, d->pat};
    parser.Alternatives(d->pat.root->alts);
}

// First match at or after `from`; fills captures (byte offsets, -1 unmatched).
bool Exec(const RegExpData& d, const std::string& s, int from, std::vector<int>* caps) {
    Matcher m{d.pat, s, {}, 0, 0, -1};
    for (int at = from; at <= int(s.size()); ++at) {
        int end;
        if (m.At(at, &end)) {
            *caps = m.caps;
            return true;
        }
        if (m.steps > 2000000)
            return false;
    }
    return false;
}

// The matcher works on the UTF-8 bytes; scripts see positions in UTF-16 units.
int UnitsBefore(const std::string& s, int bytes) {
    int units = 0;
    for (int i = 0; i < bytes && size_t(i) < s.size(); ++i) {
        const uint8_t c = uint8_t(s[size_t(i)]);
        units += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
    }
    return units;
}
int ByteOfUnit(const std::string& s, int units) {
    size_t i = 0;
    for (int u = 0; i < s.size() && u < units; ++i) {
        const uint8_t c = uint8_t(s[i]);
        u += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
    }
    while (i < s.size() && (uint8_t(s[i]) & 0xC0) == 0x80)
        ++i;
    return int(i);
}

Value ExecResult(Vm& vm, const std::string& s, const std::vector<int>& caps,
                 const Pattern* pat = nullptr) {
    std::vector<Value> parts;
    for (size_t g = 0; g + 1 < caps.size(); g += 2)
        parts.push_back(caps[g] < 0
                            ? Value()
                            : Value::Str(s.substr(size_t(caps[g]), size_t(caps[g + 1] - caps[g]))));
    Object* a = vm.NewArray(std::move(parts));
    a->dyn.reset(new DynProps);
    a->dyn->Set("index", Value::Num(UnitsBefore(s, caps[0])));
    a->dyn->Set("input", Value::Str(s));
    if (pat)
        for (const auto& n : pat->names)
            if (size_t(n.second) < a->elems.size()) // a group that took no part names ""
                a->dyn->Set(n.first, a->elems[size_t(n.second)].IsUndefined()
                                         ? Value::Str("")
                                         : a->elems[size_t(n.second)]);
    return Value::Obj(a);
}

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

NATIVE(RegExpCtor) {
    UNUSED;
    RegExpData* d = new RegExpData;
    self.o->extra.reset(d);
    if (argc > 0 && Data(args[0])) {
        d->source = Data(args[0])->source;
        d->flags = Data(args[0])->flags;
    } else {
        d->source = argc > 0 && !args[0].IsUndefined() ? vm.ToString(args[0]) : "";
        d->flags = argc > 1 && !args[1].IsUndefined() ? vm.ToString(args[1]) : "";
    }
    Compile(d);
    vm.Set(self, "lastIndex", Value::Num(0));
    return Value();
}
NATIVE(RegExpCall) {
    UNUSED;
    if (argc > 0 && Data(args[0]))
        return args[0];
    return vm.ConstructClass(vm.Builtin("RegExp"), args, argc);
}
NATIVE(RegExpExec) {
    UNUSED;
    RegExpData* d = Data(self);
    if (!d)
        return Value::Null();
    const std::string s = argc > 0 ? vm.ToString(args[0]) : "undefined";
    int from = d->global ? ClampInt(vm.ToNumber(vm.Get(self, "lastIndex"))) : 0;
    if (from > 0) // past the last unit: no match, as past the last byte
        from = from > UnitsBefore(s, int(s.size())) ? int(s.size()) + 1 : ByteOfUnit(s, from);
    std::vector<int> caps;
    if (from < 0 || from > int(s.size()) || !Exec(*d, s, from, &caps)) {
        if (d->global)
            vm.Set(self, "lastIndex", Value::Num(0));
        return Value::Null();
    }
    if (d->global)
        vm.Set(self, "lastIndex", Value::Num(UnitsBefore(s, caps[1])));
    return ExecResult(vm, s, caps, &d->pat);
}
NATIVE(RegExpTest) {
    UNUSED;
    return Value::Bool(!RegExpExec(vm, self, args, argc).IsNullish());
}
NATIVE(RegExpToString) {
    UNUSED;
    RegExpData* d = Data(self);
    if (!d) // called on something else: the coercion error Flash reports
        return vm.CoerceTo(self, vm.Builtin("RegExp"));
    std::string flags; // in Flash's order, whatever order they were given in
    for (char c : std::string("gimsx"))
        if (d->flags.find(c) != std::string::npos)
            flags += c;
    return Value::Str("/" + d->source + "/" + flags);
}
NATIVE(RegExpSource) {
    UNUSED;
    RegExpData* d = Data(self);
    return Value::Str(d ? d->source : "");
}
NATIVE(RegExpGlobal) {
    UNUSED;
    RegExpData* d = Data(self);
    return Value::Bool(d && d->global);
}
NATIVE(RegExpIgnoreCase) {
    UNUSED;
    RegExpData* d = Data(self);
    return Value::Bool(d && d->pat.ignoreCase);
}
NATIVE(RegExpMultiline) {
    UNUSED;
    RegExpData* d = Data(self);
    return Value::Bool(d && d->pat.multiline);
}

} // namespace

namespace {
// Past an empty match: the start of the next character, not the next byte of this one.
int AfterEmpty(const std::string& s, int at) {
    size_t i = size_t(at) + 1;
    while (i < s.size() && (uint8_t(s[i]) & 0xC0) == 0x80)
        ++i;
    return int(i);
}
} // namespace

std::string RegExpReplace(Vm& vm, const std::string& s, const Value& pattern, const Value& with) {
    std::vector<std::vector<int>> matches;
    RegExpData* d = Data(pattern);
    if (d) {
        int from = 0;
        std::vector<int> caps;
        while (from <= int(s.size()) && Exec(*d, s, from, &caps)) {
            matches.push_back(caps);
            if (!d->global)
                break;
            from = caps[1] > caps[0] ? caps[1] : AfterEmpty(s, caps[1]);
        }
    } else {
        const std::string t = vm.ToString(pattern);
        const size_t at = s.find(t);
        if (at != std::string::npos)
            matches.push_back({int(at), int(at + t.size())});
    }
    std::string out;
    size_t last = 0;
    const bool call = with.IsObject() && with.o->kind == Kind::Function;
    const std::string text = call ? "" : vm.ToString(with);
    for (const std::vector<int>& caps : matches) {
        out += s.substr(last, size_t(caps[0]) - last);
        if (call) {
            std::vector<Value> a;
            for (size_t g = 0; g + 1 < caps.size(); g += 2)
                a.push_back(caps[g] < 0 ? Value::Str("")
                                        : Value::Str(s.substr(size_t(caps[g]),
                                                              size_t(caps[g + 1] - caps[g]))));
            a.push_back(Value::Num(UnitsBefore(s, caps[0])));
            a.push_back(Value::Str(s));
            out += vm.ToString(vm.Call(with, Value::Null(), a.data(), int(a.size())));
            if (vm.throwing())
                return s;
        } else {
            for (size_t k = 0; k < text.size(); ++k) {
                if (text[k] == '$' && k + 1 < text.size()) {
                    const char n = text[k + 1];
                    if (n == '$') {
                        out += '$';
                        ++k;
                        continue;
                    }
                    if (n == '&') {
                        out += s.substr(size_t(caps[0]), size_t(caps[1] - caps[0]));
                        ++k;
                        continue;
                    }
                    if (n == '`' || n == '\'') { // the text before or after the match
                        out += n == '`' ? s.substr(0, size_t(caps[0])) : s.substr(size_t(caps[1]));
                        ++k;
                        continue;
                    }
                    if (n >= '0' && n <= '9') {
                        int g = n - '0';
                        size_t used = 1;
                        // "$0d" names group d but, as Flash reads it, leaves the d in place.
                        if (g == 0 && k + 2 < text.size() && text[k + 2] > '0' &&
                            text[k + 2] <= '9' &&
                            size_t(2 * (text[k + 2] - '0') + 1) < caps.size()) {
                            g = text[k + 2] - '0';
                            const size_t at = size_t(2 * g);
                            if (caps[at] >= 0)
                                out += s.substr(size_t(caps[at]), size_t(caps[at + 1] - caps[at]));
                            ++k;
                            continue;
                        }
                        if (k + 2 < text.size() && std::isdigit(uint8_t(text[k + 2])) &&
                            (g * 10 + text[k + 2] - '0') * 2 < int(caps.size())) {
                            g = g * 10 + text[k + 2] - '0';
                            used = 2;
                        }
                        if (g > 0 && size_t(2 * g + 1) < caps.size()) {
                            if (caps[size_t(2 * g)] >= 0)
                                out +=
                                    s.substr(size_t(caps[size_t(2 * g)]),
                                             size_t(caps[size_t(2 * g + 1)] - caps[size_t(2 * g)]));
                            k += used;
                            continue;
                        }
                    }
                }
                out += text[k];
            }
        }
        last = size_t(caps[1]);
    }
    out += s.substr(std::min(last, s.size()));
    return out;
}

Value RegExpMatch(Vm& vm, const std::string& s, const Value& pattern) {
    RegExpData* d = Data(pattern);
    Value re = pattern;
    if (!d) {
        Value a = Value::Str(vm.ToString(pattern));
        re = vm.ConstructClass(vm.Builtin("RegExp"), &a, 1);
        d = Data(re);
    }
    if (!d)
        return Value::Null();
    if (!d->global) {
        std::vector<int> caps;
        return Exec(*d, s, 0, &caps) ? ExecResult(vm, s, caps, &d->pat) : Value::Null();
    }
    std::vector<Value> all;
    std::vector<int> caps;
    int from = 0;
    // Once a match reaches the end, Flash tries no empty one after it.
    while ((from < int(s.size()) || all.empty()) && from <= int(s.size()) &&
           Exec(*d, s, from, &caps)) {
        all.push_back(Value::Str(s.substr(size_t(caps[0]), size_t(caps[1] - caps[0]))));
        from = caps[1] > caps[0] ? caps[1] : AfterEmpty(s, caps[1]);
    }
    // Flash leaves lastIndex at 0, except that a call starting from 0 leaves it at 1.
    bool was_zero = vm.ToNumber(vm.Get(re, "lastIndex")) == 0;
    vm.Set(re, "lastIndex", Value::Num(was_zero ? 1 : 0));
    return Value::Obj(vm.NewArray(std::move(all)));
}

int RegExpSearch(Vm& vm, const std::string& s, const Value& pattern) {
    RegExpData* d = Data(pattern);
    Value re;
    if (!d) { // a string searches as the pattern it spells, as match() takes it
        Value a = Value::Str(vm.ToString(pattern));
        re = vm.ConstructClass(vm.Builtin("RegExp"), &a, 1);
        d = Data(re);
        if (!d)
            return -1;
    }
    std::vector<int> caps;
    return Exec(*d, s, 0, &caps) ? UnitsBefore(s, caps[0]) : -1;
}

Value RegExpSplit(Vm& vm, const std::string& s, const Value& pattern, uint32_t limit) {
    RegExpData* d = Data(pattern);
    std::vector<Value> out;
    size_t last = 0;
    int from = 0;
    std::vector<int> caps;
    if (limit == 0)
        return Value::Obj(vm.NewArray(std::move(out)));
    // The limit ends the captures of one match, but Flash still adds the next piece of text
    // before it stops.
    while (from < int(s.size()) && Exec(*d, s, from, &caps)) {
        if (caps[1] == caps[0]) { // Flash never splits at an empty match
            from = AfterEmpty(s, caps[0]);
            continue;
        }
        out.push_back(Value::Str(s.substr(last, size_t(caps[0]) - last)));
        if (out.size() >= limit)
            return Value::Obj(vm.NewArray(std::move(out)));
        for (size_t g = 2; g + 1 < caps.size() && out.size() < limit; g += 2)
            out.push_back(
                caps[g] < 0 ? Value()
                            : Value::Str(s.substr(size_t(caps[g]), size_t(caps[g + 1] - caps[g]))));
        last = size_t(caps[1]);
        from = caps[1] > caps[0] ? caps[1] : AfterEmpty(s, caps[1]);
    }
    if (out.size() < limit)
        out.push_back(Value::Str(s.substr(std::min(last, s.size()))));
    return Value::Obj(vm.NewArray(std::move(out)));
}

void InstallRegExp(Vm& vm) {
    ClassInfo* re =
        vm.DefineClass("", "RegExp", vm.objectClass, Kind::RegExp, RegExpCtor, RegExpCall);
    re->sealed = false;
    vm.AddMethod(re, "exec", RegExpExec);
    vm.AddMethod(re, "test", RegExpTest);
    vm.AddMethod(re, "toString", RegExpToString);
    vm.AddProtoMethod(re, "toString", RegExpToString);
    vm.AddGetter(re, "source", RegExpSource);
    vm.AddGetter(re, "global", RegExpGlobal);
    vm.AddGetter(re, "ignoreCase", RegExpIgnoreCase);
    vm.AddGetter(re, "multiline", RegExpMultiline);
}

} // namespace avm2
