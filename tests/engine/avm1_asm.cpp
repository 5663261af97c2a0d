#include "tests/engine/avm1_asm.h"

#include <cctype>
#include <cstring>
#include <map>
#include <stdexcept>

namespace avm1test {
namespace {

struct Simple {
    const char* name;
    uint8_t code;
};
const Simple kSimple[] = {
    {"next", 0x04},      {"prev", 0x05},       {"play", 0x06},       {"stop", 0x07},
    {"quality", 0x08},   {"stopsounds", 0x09}, {"add", 0x0A},        {"sub", 0x0B},
    {"mul", 0x0C},       {"div", 0x0D},        {"eq", 0x0E},         {"lt", 0x0F},
    {"and", 0x10},       {"or", 0x11},         {"not", 0x12},        {"streq", 0x13},
    {"strlen", 0x14},    {"substr", 0x15},     {"pop", 0x17},        {"toint", 0x18},
    {"getvar", 0x1C},    {"setvar", 0x1D},     {"settarget2", 0x20}, {"strcat", 0x21},
    {"getprop", 0x22},   {"setprop", 0x23},    {"clone", 0x24},      {"remove", 0x25},
    {"trace", 0x26},     {"startdrag", 0x27},  {"enddrag", 0x28},    {"strlt", 0x29},
    {"throw", 0x2A},     {"cast", 0x2B},       {"implements", 0x2C}, {"random", 0x30},
    {"mbstrlen", 0x31},  {"ord", 0x32},        {"chr", 0x33},        {"time", 0x34},
    {"mbsubstr", 0x35},  {"mbord", 0x36},      {"mbchr", 0x37},      {"delete", 0x3A},
    {"delete2", 0x3B},   {"local", 0x3C},      {"callfunc", 0x3D},   {"return", 0x3E},
    {"mod", 0x3F},       {"new", 0x40},        {"local2", 0x41},     {"array", 0x42},
    {"object", 0x43},    {"typeof", 0x44},     {"targetpath", 0x45}, {"enum", 0x46},
    {"add2", 0x47},      {"lt2", 0x48},        {"eq2", 0x49},        {"tonum", 0x4A},
    {"tostr", 0x4B},     {"dup", 0x4C},        {"swap", 0x4D},       {"getmember", 0x4E},
    {"setmember", 0x4F}, {"inc", 0x50},        {"dec", 0x51},        {"callmethod", 0x52},
    {"newmethod", 0x53}, {"instanceof", 0x54}, {"enum2", 0x55},      {"band", 0x60},
    {"bor", 0x61},       {"bxor", 0x62},       {"shl", 0x63},        {"shr", 0x64},
    {"ushr", 0x65},      {"stricteq", 0x66},   {"gt", 0x67},         {"strgt", 0x68},
    {"extends", 0x69},   {"call", 0x9E},
};

struct Fail : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Parser {
  public:
    explicit Parser(const std::string& s) : s_(s) {}

    std::vector<uint8_t> Block(bool braced) {
        std::vector<uint8_t> out;
        std::map<std::string, size_t> labels;
        struct Ref {
            size_t at;  // where the 16-bit offset goes
            size_t end; // offset is relative to the end of the action
            std::string label;
        };
        std::vector<Ref> refs;
        for (;;) {
            Skip();
            if (pos_ >= s_.size()) {
                if (braced)
                    throw Fail("missing }");
                break;
            }
            if (s_[pos_] == '}') {
                if (!braced)
                    throw Fail("stray }");
                pos_++;
                break;
            }
            if (s_[pos_] == ';' || s_[pos_] == '\n') {
                pos_++;
                continue;
            }
            std::string word = Word();
            Skip();
            if (pos_ < s_.size() && s_[pos_] == ':' && word != "r" && word != "c") {
                pos_++;
                labels[word] = out.size();
                continue;
            }
            bool done = false;
            for (const Simple& op : kSimple) {
                if (word == op.name) {
                    out.push_back(op.code);
                    if (op.code >= 0x80)
                        Len(out, 0);
                    done = true;
                }
            }
            if (done)
                continue;
            std::vector<uint8_t> p; // payload
            uint8_t code;
            if (word == "push") {
                code = 0x96;
                PushItems(p);
            } else if (word == "jump" || word == "if") {
                code = word == "jump" ? 0x99 : 0x9D;
                out.push_back(code);
                Len(out, 2);
                refs.push_back({out.size(), out.size() + 2, Word()});
                out.push_back(0);
                out.push_back(0);
                continue;
            } else if (word == "pool") {
                code = 0x88;
                std::vector<std::string> items;
                while (Peek() == '\'')
                    items.push_back(Quoted());
                U16(p, items.size());
                for (auto& i : items)
                    Str(p, i);
            } else if (word == "store") {
                code = 0x87;
                p.push_back(uint8_t(Int()));
            } else if (word == "gotoframe") {
                code = 0x81;
                U16(p, Int());
            } else if (word == "gotolabel" || word == "settarget") {
                code = word == "gotolabel" ? 0x8C : 0x8B;
                Str(p, Quoted());
            } else if (word == "geturl") {
                code = 0x83;
                Str(p, Quoted());
                Str(p, Quoted());
            } else if (word == "geturl2") {
                code = 0x9A;
                p.push_back(uint8_t(Int()));
            } else if (word == "goto2") {
                code = 0x9F;
                long flags = Int();
                p.push_back(uint8_t(flags));
                if (flags & 2)
                    U16(p, Int());
            } else if (word == "waitframe") {
                code = 0x8A;
                U16(p, Int());
                p.push_back(uint8_t(Int()));
            } else if (word == "func" || word == "func2") {
                bool v2 = word == "func2";
                code = v2 ? 0x8E : 0x9B;
                std::string name = Peek() == '(' ? "" : Word();
                long regs = 0, flags = 0;
                if (v2) {
                    regs = Int();
                    flags = Int();
                }
                Str(p, name);
                Expect('(');
                std::vector<std::pair<long, std::string>> params;
                while (Peek() != ')') {
                    long reg = 0;
                    if (v2) {
                        reg = Int();
                        Expect(':');
                    }
                    params.push_back({reg, Word()});
                    if (Peek() == ',')
                        pos_++;
                }
                Expect(')');
                U16(p, params.size());
                if (v2) {
                    p.push_back(uint8_t(regs));
                    U16(p, size_t(flags));
                }
                for (auto& pr : params) {
                    if (v2)
                        p.push_back(uint8_t(pr.first));
                    Str(p, pr.second);
                }
                Expect('{');
                std::vector<uint8_t> body = Block(true);
                U16(p, body.size());
                Emit(out, code, p);
                out.insert(out.end(), body.begin(), body.end());
                continue;
            } else if (word == "with") {
                Expect('{');
                std::vector<uint8_t> body = Block(true);
                U16(p, body.size());
                Emit(out, 0x94, p);
                out.insert(out.end(), body.begin(), body.end());
                continue;
            } else if (word == "try") {
                // try [name|r:N] { } [catch { }] [finally { }]
                std::string name;
                long reg = -1;
                if (Peek() != '{') {
                    std::string w = Word();
                    if (w == "r") {
                        Expect(':');
                        reg = Int();
                    } else {
                        name = w;
                    }
                }
                Expect('{');
                std::vector<uint8_t> tryBody = Block(true), catchBody, finallyBody;
                uint8_t flags = reg >= 0 ? 4 : 0;
                size_t save = pos_;
                if (NextWordIs("catch")) {
                    Expect('{');
                    catchBody = Block(true);
                    flags |= 1;
                    save = pos_;
                } else {
                    pos_ = save;
                }
                if (NextWordIs("finally")) {
                    Expect('{');
                    finallyBody = Block(true);
                    flags |= 2;
                } else {
                    pos_ = save;
                }
                p.push_back(flags);
                U16(p, tryBody.size());
                U16(p, catchBody.size());
                U16(p, finallyBody.size());
                if (reg >= 0)
                    p.push_back(uint8_t(reg));
                else
                    Str(p, name);
                Emit(out, 0x8F, p);
                for (auto* b : {&tryBody, &catchBody, &finallyBody})
                    out.insert(out.end(), b->begin(), b->end());
                continue;
            } else if (word == "raw") {
                // raw 0x.. bytes, for malformed records
                while (Peek() == '0' || (Peek() >= '1' && Peek() <= '9'))
                    out.push_back(uint8_t(Int()));
                continue;
            } else {
                throw Fail("unknown action " + word);
            }
            Emit(out, code, p);
        }
        for (const Ref& r : refs) {
            auto it = labels.find(r.label);
            if (it == labels.end())
                throw Fail("no label " + r.label);
            long delta = long(it->second) - long(r.end);
            out[r.at] = uint8_t(delta & 0xFF);
            out[r.at + 1] = uint8_t((delta >> 8) & 0xFF);
        }
        return out;
    }

  private:
    void Skip() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r'))
            pos_++;
    }
    char Peek() {
        Skip();
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    void Expect(char c) {
        if (Peek() != c)
            throw Fail(std::string("expected ") + c + " at " + std::to_string(pos_));
        pos_++;
    }
    std::string Word() {
        Skip();
        size_t start = pos_;
        while (pos_ < s_.size() && (isalnum(static_cast<unsigned char>(s_[pos_])) ||
                                    s_[pos_] == '_' || s_[pos_] == '$' || s_[pos_] == '.'))
            pos_++;
        if (start == pos_)
            throw Fail("expected a word at " + std::to_string(pos_));
        return s_.substr(start, pos_ - start);
    }
    bool NextWordIs(const char* w) {
        size_t save = pos_;
        Skip();
        size_t n = std::strlen(w);
        if (s_.compare(pos_, n, w) == 0) {
            pos_ += n;
            return true;
        }
        pos_ = save;
        return false;
    }
    long Int() {
        std::string w = Word();
        return std::stol(w, nullptr, 0);
    }
    std::string Quoted() {
        Expect('\'');
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '\'') {
            if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) {
                pos_++;
                out += s_[pos_] == 'n' ? '\n' : s_[pos_];
            } else {
                out += s_[pos_];
            }
            pos_++;
        }
        Expect('\'');
        return out;
    }
    static void U16(std::vector<uint8_t>& p, size_t v) {
        p.push_back(uint8_t(v & 0xFF));
        p.push_back(uint8_t((v >> 8) & 0xFF));
    }
    static void Str(std::vector<uint8_t>& p, const std::string& s) {
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
    }
    static void Len(std::vector<uint8_t>& out, size_t n) { U16(out, n); }
    static void Emit(std::vector<uint8_t>& out, uint8_t code, const std::vector<uint8_t>& p) {
        out.push_back(code);
        U16(out, p.size());
        out.insert(out.end(), p.begin(), p.end());
    }
    void PushItems(std::vector<uint8_t>& p) {
        for (;;) {
            char c = Peek();
            if (c == '\0' || c == ';' || c == '\n' || c == '}')
                return;
            if (c == '\'') {
                p.push_back(0);
                Str(p, Quoted());
                continue;
            }
            std::string w = (c == '-') ? (pos_++, "-" + Word()) : Word();
            if (w == "true" || w == "false") {
                p.push_back(5);
                p.push_back(w == "true");
            } else if (w == "null") {
                p.push_back(2);
            } else if (w == "undef") {
                p.push_back(3);
            } else if (w == "r" || w == "c") {
                Expect(':');
                long n = Int();
                if (w == "r") {
                    p.push_back(4);
                    p.push_back(uint8_t(n));
                } else if (n < 256) {
                    p.push_back(8);
                    p.push_back(uint8_t(n));
                } else {
                    p.push_back(9);
                    U16(p, size_t(n));
                }
            } else if (w.find('.') != std::string::npos ||
                       (w.find('e') != std::string::npos && w.find("0x") != 0)) {
                double d = std::stod(w);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                uint64_t swapped = bits >> 32 | bits << 32;
                p.push_back(6);
                for (int i = 0; i < 8; i++)
                    p.push_back(uint8_t(swapped >> (8 * i)));
            } else {
                long v = std::stol(w, nullptr, 0);
                p.push_back(7);
                for (int i = 0; i < 4; i++)
                    p.push_back(uint8_t(uint32_t(v) >> (8 * i)));
            }
        }
    }

    const std::string& s_;
    size_t pos_ = 0;
};

} // namespace

std::vector<uint8_t> Assemble(const std::string& text, std::string* error) {
    try {
        Parser parser(text);
        return parser.Block(false);
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return {};
    }
}

} // namespace avm1test
