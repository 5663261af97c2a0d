#include "player/core/avm1/xml_tree.h"

#include <cstring>
#include <unordered_set>

namespace avm1 {
namespace xml {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

// s[at...] starts with word, ASCII case ignored.
bool StartsWithNoCase(const std::string& s, size_t at, const char* word) {
    size_t n = std::strlen(word);
    if (at + n > s.size())
        return false;
    for (size_t i = 0; i < n; i++)
        if (Lower(s[at + i]) != Lower(word[i]))
            return false;
    return true;
}

bool SameName(const std::string& a, const std::string& b, bool caseSensitive) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (caseSensitive ? a[i] != b[i] : Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

class Parser {
  public:
    Parser(const std::string& s, bool ignoreWhite, bool caseSensitive, size_t budget)
        : s_(s), ignoreWhite_(ignoreWhite), caseSensitive_(caseSensitive), budget_(budget) {}

    Parsed Run() {
        size_t p = 0;
        while (out_.status == Status::Ok && p < s_.size()) {
            if (s_[p] != '<')
                p = Text(p);
            else if (StartsWithNoCase(s_, p + 1, "?xml"))
                p = XmlDecl(p);
            else if (StartsWithNoCase(s_, p + 1, "!DOCTYPE"))
                p = DocType(p);
            else if (s_.compare(p + 1, 3, "!--") == 0)
                p = Comment(p);
            else if (StartsWithNoCase(s_, p + 1, "![CDATA"))
                p = Cdata(p);
            else
                p = Tag(p);
        }
        if (out_.status == Status::Ok && current_ != -1)
            out_.status = Status::TagNotClosed;
        return std::move(out_);
    }

  private:
    size_t Fail(Status why) {
        out_.status = why;
        return s_.size();
    }

    // A node under the current one; false (and OutOfMemory) past the budget.
    bool Add(bool element, std::string text) {
        size_t cost = kNodeCost + text.size();
        if (cost > budget_) {
            out_.status = Status::OutOfMemory;
            return false;
        }
        budget_ -= cost;
        ParsedNode n;
        n.parent = current_;
        n.element = element;
        n.text = std::move(text);
        out_.nodes.push_back(std::move(n));
        return true;
    }

    size_t Text(size_t p) {
        size_t end = s_.find('<', p);
        if (end == std::string::npos)
            end = s_.size();
        bool blank = true;
        for (size_t i = p; i < end && blank; i++)
            blank = IsSpace(s_[i]);
        if (!ignoreWhite_ || !blank)
            Add(false, Unescape(s_.data() + p, end - p));
        return end;
    }

    size_t XmlDecl(size_t p) {
        size_t end = s_.find("?>", p);
        if (end == std::string::npos)
            return Fail(Status::DeclNotTerminated);
        end += 2;
        if (out_.xmlDecl.size() + (end - p) > budget_)
            return Fail(Status::OutOfMemory);
        out_.xmlDecl.append(s_, p, end - p);
        out_.hasXmlDecl = true;
        return end;
    }

    // Ends at the '>' that balances every '<' inside (an internal subset included).
    size_t DocType(size_t p) {
        int open = 1;
        size_t q = p + 1;
        while (q < s_.size() && open > 0) {
            q = s_.find_first_of("<>", q);
            if (q == std::string::npos)
                return Fail(Status::DoctypeNotTerminated);
            open += s_[q] == '<' ? 1 : -1;
            q++;
        }
        if (open > 0)
            return Fail(Status::DoctypeNotTerminated);
        out_.docType.assign(s_, p, q - p);
        out_.hasDocType = true;
        return q;
    }

    size_t Comment(size_t p) {
        size_t end = s_.find("-->", p);
        if (end == std::string::npos)
            return Fail(Status::CommentNotTerminated);
        return end + 3;
    }

    size_t Cdata(size_t p) {
        p += std::strlen("<![CDATA[");
        if (p > s_.size())
            return Fail(Status::CdataNotTerminated);
        size_t end = s_.find("]]>", p);
        if (end == std::string::npos)
            return Fail(Status::CdataNotTerminated);
        Add(false, s_.substr(p, end - p));
        return end + 3;
    }

    size_t Spaces(size_t p) const {
        while (p < s_.size() && IsSpace(s_[p]))
            p++;
        return p;
    }

    // name = "value" or name = 'value'; a quote after a backslash does not end the value.
    size_t Attribute(size_t p, ParsedNode* node) {
        size_t end = s_.find_first_of("=> \r\n\t", p);
        if (end == std::string::npos)
            end = s_.size();
        if (end == p)
            return Fail(Status::ElementMalformed);
        std::string name = Unescape(s_.data() + p, end - p);
        p = Spaces(end);
        if (p >= s_.size() || s_[p] != '=')
            return Fail(Status::ElementMalformed);
        p = Spaces(p + 1);
        if (p >= s_.size() || (s_[p] != '"' && s_[p] != '\''))
            return Fail(Status::ElementMalformed);
        const char quote = s_[p];
        size_t close = p + 1;
        for (;;) {
            close = s_.find(quote, close);
            if (close == std::string::npos)
                return Fail(Status::AttributeNotTerminated);
            if (s_[close - 1] != '\\')
                break;
            close++;
        }
        std::string key = name;
        if (!caseSensitive_)
            for (char& ch : key)
                ch = Lower(ch);
        if (!names_.insert(std::move(key)).second)
            return close + 1; // the first of a repeated name stays
        std::string value = Unescape(s_.data() + p + 1, close - p - 1);
        const size_t cost = name.size() + value.size() + 32;
        if (cost > budget_)
            return Fail(Status::OutOfMemory);
        budget_ -= cost;
        node->attributes.emplace_back(std::move(name), std::move(value));
        return close + 1;
    }

    size_t Tag(size_t p) {
        const bool close = p + 1 < s_.size() && s_[p + 1] == '/';
        if (close)
            p++;
        size_t end = s_.find_first_of("> \r\n\t", p);
        if (end == std::string::npos)
            end = s_.size();
        // A '/' right before '>' closes the element; it is not part of the name.
        if (end < s_.size() && s_[end] == '>' && s_[end - 1] == '/')
            end--;
        if (end <= p + 1 || end >= s_.size())
            return Fail(Status::ElementMalformed);
        std::string name = s_.substr(p + 1, end - p - 1);
        if (close) {
            end = s_.find('>', end);
            if (end == std::string::npos)
                return Fail(Status::ElementMalformed);
            return CloseTag(name, end);
        }
        ParsedNode node;
        names_.clear();
        end = Spaces(end);
        while (end < s_.size() && s_[end] != '>' &&
               !(s_[end] == '/' && end + 1 < s_.size() && s_[end + 1] == '>')) {
            end = Spaces(Attribute(end, &node));
        }
        if (end < s_.size() && s_[end] == '/')
            end++;
        if (end >= s_.size()) {
            if (out_.status == Status::Ok)
                out_.status = Status::ElementMalformed;
            return s_.size();
        }
        if (!Add(true, std::move(name)))
            return s_.size();
        out_.nodes.back().attributes = std::move(node.attributes);
        if (s_[end - 1] != '/')
            current_ = int32_t(out_.nodes.size() - 1);
        return end + 1;
    }

    // Names match without case. An end tag closing an element further out than the
    // current one is a start tag left open; one closing nothing is a mismatch.
    size_t CloseTag(const std::string& name, size_t end) {
        if (current_ != -1 && SameName(out_.nodes[current_].text, name, false)) {
            current_ = out_.nodes[current_].parent;
            return end + 1;
        }
        for (int32_t n = current_; n != -1; n = out_.nodes[n].parent)
            if (SameName(out_.nodes[n].text, name, false))
                return Fail(Status::TagNotClosed);
        return Fail(Status::TagMismatch);
    }

    const std::string& s_;
    bool ignoreWhite_, caseSensitive_;
    size_t budget_;
    int32_t current_ = -1;
    Parsed out_;
    std::unordered_set<std::string> names_; // the current element's attributes so far
};

} // namespace

Parsed Parse(const std::string& text, bool ignoreWhite, bool caseSensitive, size_t budget) {
    return Parser(text, ignoreWhite, caseSensitive, budget).Run();
}

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
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
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(const char* s, size_t n) {
    static const struct {
        const char* entity;
        const char* text;
    } kEntities[] = {{"&amp;", "&"}, {"&quot;", "\""}, {"&apos;", "'"},
                     {"&lt;", "<"},  {"&gt;", ">"},    {"&nbsp;", "\xC2\xA0"}};
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; i++) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        bool found = false;
        for (const auto& e : kEntities) {
            size_t len = std::strlen(e.entity);
            if (i + len > n)
                continue;
            size_t k = 0;
            while (k < len && Lower(s[i + k]) == e.entity[k])
                k++;
            if (k == len) {
                out += e.text;
                i += len - 1;
                found = true;
                break;
            }
        }
        if (!found)
            out += '&';
    }
    return out;
}

} // namespace xml
} // namespace avm1
