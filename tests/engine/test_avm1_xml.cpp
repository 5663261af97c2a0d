// XML as Flash 8 reads and writes it (status codes, entities, CDATA, declarations, tags
// left open), trees at the memory bound, and LoadVars' URL encoding both ways.
#include "player/core/avm1/xml_tree.h"
#include "tests/engine/avm1_harness.h"

namespace {

using avm1::Value;
using avm1test::Harness;

Value New(Harness& h, const char* cls, std::vector<Value> args = {}) {
    return h.vm.Construct(h.vm.GetProp(h.vm.global(), cls), args.data(), args.size());
}
std::string Str(Harness& h, const Value& v) {
    return h.vm.ToString(v);
}

struct XmlCase {
    const char* text;
    bool ignoreWhite;
    int status;
    const char* written; // toString
};

const XmlCase kXmlCases[] = {
    {"", false, 0, ""},
    {"plain text", false, 0, "plain text"},
    {"<a><b>x</b><c/></a>", false, 0, "<a><b>x</b><c /></a>"},
    {"<A></a>", false, 0, "<A />"}, // end tags match without case
    {"<a>", false, -9, "<a />"},    // left open: what was read stays
    {"<a><b></a>", false, -9, "<a><b /></a>"},
    {"</a>", false, -10, ""},
    {"<a></b>", false, -10, "<a />"},
    {"<a></ab>", false, -10, "<a />"}, // an end tag's name must match in length too
    {"<>", false, -6, ""},
    {"<a", false, -6, ""},
    {"<a>x</a><", false, -6, "<a>x</a>"},
    {"<a x=1/>", false, -6, ""}, // attribute values need quotes
    {"<a x/>", false, -6, ""},
    {"<a x=\"1/>", false, -8, ""},
    {"<a x='1' x=\"2\" y = 'q\"'/>", false, 0, "<a x=\"1\" y=\"q&quot;\" />"},
    {"<a x=\"a\\\"b\"/>", false, 0, "<a x=\"a\\&quot;b\" />"}, // \" does not end a value
    {"<a>&lt;&AMP;&gt;&quot;&apos;&nbsp;&foo;&</a>", false, 0,
     "<a>&lt;&amp;&gt;&quot;&apos;\xC2\xA0&amp;foo;&amp;</a>"},
    {"<a t=\"&lt;&#65;\"/>", false, 0, "<a t=\"&lt;&amp;#65;\" />"},
    {"<![CDATA[<x> & y]]>", false, 0, "&lt;x&gt; &amp; y"},
    {"<![CDATA[]]>", false, 0, ""},
    {"<![CDATA[open", false, -2, ""},
    {"<!-- note --><a/><!---->", false, 0, "<a />"},
    {"<a/><!-- open", false, -5, "<a />"},
    {"<?xml version=\"1.0\"?><a/>", false, 0, "<?xml version=\"1.0\"?><a />"},
    {"<?xml a?><?XML b?>", false, 0, "<?xml a?><?XML b?>"}, // declarations add up
    {"<?xml version=\"1.0\"", false, -3, ""},
    {"<!DOCTYPE a [<!ELEMENT a ANY>]><a/>", false, 0, "<!DOCTYPE a [<!ELEMENT a ANY>]><a />"},
    {"<!doctype b><!DOCTYPE c><a/>", false, 0, "<!DOCTYPE c><a />"}, // the last one counts
    {"<!DOCTYPE a [<x>", false, -4, ""},
    {" <a>\n\t<b/> x </a> ", false, 0, " <a>\n\t<b /> x </a> "},
    {" <a>\n\t<b/> x </a> ", true, 0, "<a><b /> x </a>"},
    {"<a>\r\n</a>", true, 0, "<a />"},
    {"<a b=\"'\"  c='&amp;'>'</a>", false, 0, "<a b=\"&apos;\" c=\"&amp;\">&apos;</a>"},
};

TEST(Xml, ParsesAndWritesAsFlash) {
    for (const XmlCase& c : kXmlCases) {
        Harness h(8);
        Value doc = New(h, "XML");
        if (c.ignoreWhite) // otherwise the default, which keeps white space
            h.vm.Set(doc, "ignoreWhite", Value::Bool(true));
        Value text = Value::Str(c.text);
        h.vm.CallMethod(doc, "parseXML", &text, 1);
        EXPECT_EQ(h.vm.ToNumber(h.vm.Get(doc, "status")), c.status) << c.text;
        EXPECT_EQ(Str(h, doc), c.written) << c.text;
    }
}

TEST(Xml, DeclarationsNamespacesAndIds) {
    Harness h(8);
    Value doc = New(h, "XML",
                    {Value::Str("<?xml version='1.0'?><!DOCTYPE r><r xmlns='u:d' "
                                "xmlns:p='u:p'><p:e id='one'/><e id='two'>t</e></r>")});
    EXPECT_EQ(Str(h, h.vm.Get(doc, "xmlDecl")), "<?xml version='1.0'?>");
    EXPECT_EQ(Str(h, h.vm.Get(doc, "docTypeDecl")), "<!DOCTYPE r>");
    Value map = h.vm.Get(doc, "idMap");
    Value one = h.vm.Get(map, "one");
    EXPECT_EQ(Str(h, h.vm.Get(one, "prefix")), "p");
    EXPECT_EQ(Str(h, h.vm.Get(one, "localName")), "e");
    EXPECT_EQ(Str(h, h.vm.Get(one, "namespaceURI")), "u:p");
    EXPECT_EQ(Str(h, h.vm.Get(h.vm.Get(map, "two"), "namespaceURI")), "u:d");
    Value p = Value::Str("u:p");
    EXPECT_EQ(Str(h, h.vm.CallMethod(one, "getPrefixForNamespace", &p, 1)), "p");
    Value none = Value::Str("q");
    EXPECT_EQ(h.vm.CallMethod(one, "getNamespaceForPrefix", &none, 1).type, avm1::Type::Null);
    // Below version 8 the ids land on the document itself.
    Harness h7(7);
    Value doc7 = New(h7, "XML", {Value::Str("<e id='k'/>")});
    EXPECT_TRUE(h7.vm.Get(doc7, "idMap").IsUndefined());
    EXPECT_EQ(Str(h7, h7.vm.Get(doc7, "k")), "<e id=\"k\" />");
}

// A node name's prefix and local name at each place a colon can be; which attributes declare
// a prefix's namespace (case aside), and the nearest declaration winning.
TEST(Xml, PrefixesAndNamespaceDeclarations) {
    const struct {
        const char* name;
        const char* prefix;
        const char* local;
    } names[] = {{"p:e", "p", "e"},
                 {"e", "", "e"},
                 {"p:", "", "p:"},
                 {":e", "", "e"},
                 {"a:b:c", "a", "b:c"}};
    for (const auto& n : names) {
        Harness h(8);
        Value node =
            h.vm.Get(New(h, "XML", {Value::Str("<" + std::string(n.name) + "/>")}), "firstChild");
        EXPECT_EQ(Str(h, h.vm.Get(node, "prefix")), n.prefix) << n.name;
        EXPECT_EQ(Str(h, h.vm.Get(node, "localName")), n.local) << n.name;
    }
    const struct {
        const char* doc;
        const char* uri;
        const char* prefix; // getPrefixForNamespace(uri) on the innermost node
    } decls[] = {
        {"<r xmlns:p='u'><e/></r>", "u", "p"}, {"<r XMLNS:p='u'><e/></r>", "u", "p"},
        {"<r xmlns='u'><e/></r>", "u", ""},    {"<r xmlnsp='u'><e/></r>", "u", "null"},
        {"<r xmln='u'><e/></r>", "u", "null"}, {"<r xmlns:p='u'><e xmlns:q='u'/></r>", "u", "q"},
    };
    for (const auto& d : decls) {
        Harness h(8);
        Value e =
            h.vm.Get(h.vm.Get(New(h, "XML", {Value::Str(d.doc)}), "firstChild"), "firstChild");
        Value uri = Value::Str(d.uri);
        EXPECT_EQ(Str(h, h.vm.CallMethod(e, "getPrefixForNamespace", &uri, 1)), d.prefix) << d.doc;
    }
}

// Moving nodes: what is not a node is refused, as is a node under itself or its own child.
TEST(Xml, MovesOnlyNodesAndNeverIntoThemselves) {
    Harness h(8);
    h.Run("push 'd' '<a><b/></a>' 1 'XML'; new; setvar; push 'a'; push 'd'; getvar; "
          "push 'firstChild'; getmember; setvar; push 'b'; push 'a'; getvar; "
          "push 'firstChild'; getmember; setvar; "
          "push 0; object; push 1 'a'; getvar; push 'appendChild'; callmethod; pop; "
          "push 'x' 1 'a'; getvar; push 'appendChild'; callmethod; pop; "
          "push 'a'; getvar; push 1 'b'; getvar; push 'appendChild'; callmethod; pop; "
          "push 'a'; getvar; push 1 'a'; getvar; push 'appendChild'; callmethod; pop; "
          "push 'b'; getvar; push 0; object; push 2 'a'; getvar; push 'insertBefore'; "
          "callmethod; pop; push 'd'; getvar; trace; "
          "push 'c' 'c' 1 'd'; getvar; push 'createElement'; callmethod; setvar; "
          "push 'b'; getvar; push 'c'; getvar; push 2 'a'; getvar; push 'insertBefore'; "
          "callmethod; pop; push 'd'; getvar; trace");
    EXPECT_EQ(h.Traces(), "<a><b /></a>|<a><c /><b /></a>");
}

TEST(Xml, LoadFailsAfterTheFrameAsAMissingFile) {
    Harness h(8);
    h.Run("push 'd' 0 'XML'; new; setvar; push 'd'; getvar; push 'onLoad'; "
          "func (ok) { push 'onLoad '; push 'ok'; getvar; add2; trace }; setmember; "
          "push 'data.xml' 1 'd'; getvar; push 'load'; callmethod; trace");
    EXPECT_EQ(h.Traces(), "true");
    h.vm.EndFrame();
    EXPECT_EQ(h.Traces(), "true|onLoad false");
    ASSERT_FALSE(h.notices.empty());
    EXPECT_EQ(h.notices.back(), "XML.load blocked: data.xml");
}

// A tree as deep as the memory cap allows: parsed, written, cloned and collected with no
// native recursion; a hostile one stops at the budget with status -7 and the script runs on.
TEST(Xml, DeepTreesStayWithinBounds) {
    const int depth = 50000;
    std::string open, close;
    for (int i = 0; i < depth; i++) {
        open += "<a>";
        close += "</a>";
    }
    Harness h(8);
    Value doc = New(h, "XML", {Value::Str(open + close)});
    EXPECT_EQ(h.vm.ToNumber(h.vm.Get(doc, "status")), 0);
    std::string written = Str(h, doc);
    EXPECT_EQ(written.size(), open.size() + close.size() - 2); // <a></a> inside becomes <a />
    Value deep = Value::Bool(true);
    Value copy = h.vm.CallMethod(doc, "cloneNode", &deep, 1);
    EXPECT_TRUE(copy.IsObject() || h.vm.aborted());
    h.vm.CollectGarbage();

    std::string hostile;
    while (hostile.size() < (1u << 20))
        hostile += "<a>";
    Harness small(8, [] {
        avm1::Limits l;
        l.memoryBytes = 16u << 20;
        return l;
    }());
    Value text = Value::Str(hostile);
    small.Run("push 'x' 0 'XML'; new; setvar");
    Value x = small.vm.Get(Value::Obj(small.vm.ClipObject(1)), "x");
    small.vm.CallMethod(x, "parseXML", &text, 1);
    EXPECT_EQ(small.vm.ToNumber(small.vm.Get(x, "status")), -7);
    EXPECT_FALSE(small.vm.aborted());
    small.Run("push 'after'; trace");
    EXPECT_EQ(small.Traces(), "after");

    // The parser alone: linear, no recursion, its budget respected.
    avm1::xml::Parsed p = avm1::xml::Parse(hostile, false, true, 1u << 20);
    EXPECT_EQ(p.status, avm1::xml::Status::OutOfMemory);
    EXPECT_LE(p.nodes.size(), (1u << 20) / avm1::xml::kNodeCost);
}

TEST(Xml, TreeEditsKeepLinksWhole) {
    Harness h(8);
    Value doc = New(h, "XML", {Value::Str("<a><b/><c/></a>")});
    Value a = h.vm.Get(doc, "firstChild");
    Value b = h.vm.Get(a, "firstChild"), c = h.vm.Get(a, "lastChild");
    Value kids = h.vm.Get(a, "childNodes");
    h.vm.CallMethod(b, "appendChild", &a, 1); // an ancestor never moves under its descendant
    EXPECT_EQ(Str(h, doc), "<a><b /><c /></a>");
    Value args[] = {c, b};
    h.vm.CallMethod(a, "insertBefore", args, 2); // already a child: no change
    EXPECT_EQ(Str(h, doc), "<a><b /><c /></a>");
    h.vm.CallMethod(c, "removeNode", nullptr, 0);
    h.vm.CallMethod(b, "appendChild", &c, 1);
    EXPECT_EQ(Str(h, doc), "<a><b><c /></b></a>");
    EXPECT_EQ(h.vm.ToNumber(h.vm.Get(kids, "length")), 1); // the same array, kept in step
    EXPECT_TRUE(h.vm.StrictEquals(h.vm.Get(c, "parentNode"), b));
    Value text = New(h, "XMLNode", {Value::Num(3), Value::Str("<&>")});
    h.vm.CallMethod(c, "appendChild", &text, 1);
    EXPECT_EQ(Str(h, doc), "<a><b><c>&lt;&amp;&gt;</c></b></a>");
    EXPECT_TRUE(h.vm.Get(New(h, "XMLNode"), "nodeType").IsUndefined()); // no node made
}

// A value's toString run while the tree is written may rebuild the very document.
TEST(Xml, ScriptRunWhileWritingMayEditTheTree) {
    Harness h(8);
    h.Run("push 'd' '<a><b/></a>' 1 'XML'; new; setvar; push 'o' 0 'Object'; new; setvar; "
          "push 'o'; getvar; push 'toString'; func () { push '<c/>' 1 'd'; getvar; "
          "push 'parseXML'; callmethod; pop; push 'v'; return }; setmember; "
          "push 'd'; getvar; push 'firstChild'; getmember; push 'attributes'; getmember; "
          "push 'x'; push 'o'; getvar; setmember; "
          "push 0 'd'; getvar; push 'toString'; callmethod; trace; "
          "push 0 'd'; getvar; push 'toString'; callmethod; trace");
    EXPECT_EQ(h.Traces(), "<a x=\"v\"><b /></a>|<c />");
}

struct DecodeCase {
    const char* query;
    const char* name;
    const char* value;
};

const DecodeCase kDecodeCases[] = {
    {"a=1&b=2", "b", "2"},
    {"a=b+c", "a", "b c"},
    {"a=%41%4a%c3%A9", "a", "AJ\xC3\xA9"},
    {"a=100%", "a", "100%"},   // '%' at the end stays
    {"a=%4", "a", "%4"},       // and one hex digit short
    {"a=%zz", "a", "%zz"},     // and no hex digits
    {"a=x=y", "a", "x=y"},     // the first '=' splits
    {"a", "a", ""},            // a name alone
    {"x=1&&a=2", "a", "2"},    // empty pairs are skipped
    {"%61%20b=c", "a b", "c"}, // names are decoded too
};

TEST(LoadVars, DecodesEachSpecialCharacter) {
    for (const DecodeCase& c : kDecodeCases) {
        Harness h(8);
        Value vars = New(h, "LoadVars");
        Value q = Value::Str(c.query);
        h.vm.CallMethod(vars, "decode", &q, 1);
        EXPECT_EQ(Str(h, h.vm.Get(vars, c.name)), c.value) << c.query;
    }
}

TEST(LoadVars, EncodesInForInOrder) {
    Harness h(8);
    Value vars = New(h, "LoadVars");
    h.vm.Set(vars, "first", Value::Str(" !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"));
    h.vm.Set(vars, "second", Value::Str("\xC3\xA9z9"));
    EXPECT_EQ(Str(h, vars),
              "second=%C3%A9z9&first=%20%21%22%23%24%25%26%27%28%29%2A%2B%2C%2D%2E%2F%3A%3B%3C"
              "%3D%3E%3F%40%5B%5C%5D%5E%5F%60%7B%7C%7D%7E");
    // What toString writes, decode reads back.
    Value copy = New(h, "LoadVars");
    Value text = Value::Str(Str(h, vars));
    h.vm.CallMethod(copy, "decode", &text, 1);
    EXPECT_EQ(Str(h, h.vm.Get(copy, "first")), Str(h, h.vm.Get(vars, "first")));
}

} // namespace

namespace {

// What an offline player answers: each row runs one frame's script, then ends the frame
// (where refused loads and cancelled dialogs report), and lists every trace line.
struct OfflineCase {
    const char* name;
    const char* code;
    const char* traces;
};

const OfflineCase kOfflineCases[] = {
    {"loadClip fails as a missing file, after the frame",
     "push 'l' 0 'MovieClipLoader'; new; setvar; push 'l'; getvar; push 'onLoadError'; "
     "func (t, code) { push 'code'; getvar; trace }; setmember; "
     "push '_root'; getvar; push 'a.swf' 2 'l'; getvar; push 'loadClip'; callmethod; trace",
     "true|URLNotFound"},
    {"a file dialog is cancelled",
     "push 'f' 0 'flash'; getvar; push 'net'; getmember; push 'FileReference'; newmethod; "
     "setvar; push 'o' 0 'Object'; new; setvar; push 'o'; getvar; push 'onCancel'; "
     "func (f) { push 'cancel'; trace }; setmember; push 'o'; getvar; push 1 'f'; getvar; "
     "push 'addListener'; callmethod; pop; push 0 'f'; getvar; push 'browse'; callmethod; trace",
     "true|cancel"},
    {"LoadVars.load reports onLoad(false) with loaded true",
     "push 'v' 0 'LoadVars'; new; setvar; push 'v'; getvar; push 'onLoad'; "
     "func (ok) { push 'ok'; getvar; trace; push 'this'; getvar; push 'loaded'; getmember; "
     "trace }; setmember; push 'x.txt' 1 'v'; getvar; push 'load'; callmethod; pop",
     "false|true"},
    {"ExternalInterface encodes nested values",
     "push 'a' '<' 1 2; array; push 1; object; push 1 'flash'; getvar; push 'external'; "
     "getmember; push 'ExternalInterface'; getmember; push '_toXML'; callmethod; trace",
     "<object><property id=\"a\"><array><property id=\"0\"><number>1</number></property>"
     "<property id=\"1\"><string>&lt;</string></property></array></property></object>"},
    {"a shared object's name",
     "push 'a:b' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; trace; "
     "push 'a b' 1 'SharedObject'; getvar; push 'getLocal'; callmethod; typeof; trace",
     "null|object"},
    {"the sandbox of a local movie",
     "push 'System'; getvar; push 'security'; getmember; push 'sandboxType'; getmember; trace; "
     "push 'System'; getvar; push 'capabilities'; getmember; push 'version'; getmember; trace",
     "localWithFile|WIN 8,0,42,0"},
};

TEST(Offline, RequestsFailAsFlashDoesOffline) {
    for (const OfflineCase& c : kOfflineCases) {
        avm1test::Harness h(8);
        h.Run(c.code);
        h.vm.EndFrame();
        EXPECT_EQ(h.Traces(), c.traces) << c.name;
    }
    avm1test::Harness h(8);
    h.vm.useNetwork = true;
    h.Run("push 'System'; getvar; push 'security'; getmember; push 'sandboxType'; getmember; "
          "trace");
    EXPECT_EQ(h.Traces(), "localWithNetwork");
}

} // namespace
