// XML text to a flat list of nodes and back, as Flash Player's ActionScript 2 XML class
// reads and writes it. Independent of the Vm: builtins_xml.cpp turns the list into script
// objects. The parser makes one pass with no recursion, stops at the first error (keeping
// what it built, as Flash does) and refuses to build more than its byte budget allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace avm1 {
namespace xml {

// XML.status as Flash reports it.
enum class Status : int {
    Ok = 0,
    CdataNotTerminated = -2,
    DeclNotTerminated = -3,
    DoctypeNotTerminated = -4,
    CommentNotTerminated = -5,
    ElementMalformed = -6,
    OutOfMemory = -7,
    AttributeNotTerminated = -8,
    TagNotClosed = -9, // a start tag without its end tag
    TagMismatch = -10, // an end tag without its start tag
};

struct ParsedNode {
    int32_t parent = -1;  // index of the parent in Parsed::nodes; -1: the document
    bool element = false; // else text (CDATA included)
    std::string text;     // an element's name, a text node's value (entities decoded)
    std::vector<std::pair<std::string, std::string>> attributes; // source order, no repeats
};

struct Parsed {
    std::vector<ParsedNode> nodes; // document order: parents before their children
    bool hasXmlDecl = false, hasDocType = false;
    std::string xmlDecl; // every <?xml ...?> met, one after the other
    std::string docType; // the last <!DOCTYPE ...>, whole
    Status status = Status::Ok;
};

// What one node costs the budget beyond its strings (the script objects made from it).
constexpr size_t kNodeCost = 512;

// caseSensitive: whether a repeated attribute differs from the first in case only
// (movies before version 7 compare names without case).
Parsed Parse(const std::string& text, bool ignoreWhite, bool caseSensitive, size_t budget);

// & < > " ' as entities; what toString writes for text and attribute values.
std::string Escape(const std::string& s);
// &amp; &lt; &gt; &quot; &apos; &nbsp; in any case; any other & stays as it is.
std::string Unescape(const char* s, size_t n);

} // namespace xml
} // namespace avm1
