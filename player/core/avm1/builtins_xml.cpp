// XMLNode and XML: each node is one script object carrying its tree links as host data.
// Walks over the tree (toString, deep clones, ancestor checks) use loops with their own
// stacks, so a tree as deep as memory allows never deepens the native stack.
#include <algorithm>
#include <cmath>

#include "player/core/avm1/vm.h"
#include "player/core/avm1/xml_tree.h"

namespace avm1 {
namespace {

const char kXmlTag = 0;

struct Document {
    Value xmlDecl, docType; // undefined until the text had one
    int status = 0;
};

struct XmlNode final : HostData {
    XmlNode() : HostData(&kXmlTag) {}
    int type = 1;      // 1 element, 3 text; any number a script gives
    Value name, value; // a string or null
    Object* parent = nullptr;
    std::vector<Object*> children;
    Object* attributes = nullptr;  // made when first needed
    Object* childNodes = nullptr;  // made when first asked for, then kept in step
    size_t indexHint = 0;          // where this node last was among its parent's children
    std::unique_ptr<Document> doc; // XML objects only

    void Trace(std::vector<Object*>& work) const override {
        if (parent)
            work.push_back(parent);
        for (Object* c : children)
            work.push_back(c);
        if (attributes)
            work.push_back(attributes);
        if (childNodes)
            work.push_back(childNodes);
    }
    size_t Bytes() const override {
        return sizeof(XmlNode) + children.capacity() * sizeof(Object*) + name.s.size() +
               value.s.size() + (doc ? sizeof(Document) : 0);
    }
};

XmlNode* NodeOf(const Value& v) {
    if (!v.IsObject() || !v.o->host || v.o->host->tag != &kXmlTag)
        return nullptr;
    return static_cast<XmlNode*>(v.o->host.get());
}
XmlNode* NodeOf(Object* o) {
    return NodeOf(Value::Obj(o));
}

XmlNode* Attach(Vm& vm, Object* o, int type, const std::string& text) {
    auto node = std::make_unique<XmlNode>();
    node->type = type;
    node->name = type == 1 ? Value::Str(text) : Value::Null();
    node->value = type == 1 ? Value::Null() : Value::Str(text);
    vm.heap().Charge(node->Bytes());
    if (vm.heap().OverCap())
        vm.Abort(RunResult::OutOfMemory);
    o->host = std::move(node);
    return static_cast<XmlNode*>(o->host.get());
}

Object* NewNode(Vm& vm, int type, const std::string& text) {
    Object* o = vm.NewObject();
    if (Object* proto = vm.ProtoNamed("XMLNode"))
        o->proto = proto;
    Attach(vm, o, type, text);
    return o;
}

Object* AttributesOf(Vm& vm, XmlNode* n) {
    if (!n->attributes)
        n->attributes = vm.NewObject();
    return n->attributes;
}

size_t IndexIn(XmlNode* parent, Object* child) {
    XmlNode* c = NodeOf(child);
    if (c && c->indexHint < parent->children.size() && parent->children[c->indexHint] == child)
        return c->indexHint;
    for (size_t i = 0; i < parent->children.size(); i++) {
        if (parent->children[i] == child) {
            if (c)
                c->indexHint = i;
            return i;
        }
    }
    return size_t(-1);
}

// appended: the only change was a child added at the end, which touches one element (a
// loop of appendChild stays linear).
void Refresh(Vm& vm, XmlNode* n, bool appended = false) {
    if (!n->childNodes)
        return;
    auto& e = n->childNodes->elements;
    if (appended && e.size() + 1 == n->children.size()) {
        vm.heap().Charge(sizeof(Value));
        e.push_back(Value::Obj(n->children.back()));
        return;
    }
    if (n->children.size() > e.size())
        vm.heap().Charge((n->children.size() - e.size()) * sizeof(Value));
    e.clear();
    for (Object* c : n->children)
        e.push_back(Value::Obj(c));
}

void Detach(Vm& vm, Object* child) {
    XmlNode* c = NodeOf(child);
    if (!c || !c->parent)
        return;
    XmlNode* p = NodeOf(c->parent);
    size_t i = p ? IndexIn(p, child) : size_t(-1);
    if (i != size_t(-1)) {
        p->children.erase(p->children.begin() + long(i));
        Refresh(vm, p);
    }
    c->parent = nullptr;
}

// Moves child under node at index; a node never goes under itself or its descendants.
void InsertAt(Vm& vm, Object* node, Object* child, size_t index) {
    XmlNode* n = NodeOf(node);
    XmlNode* c = NodeOf(child);
    if (!n || !c)
        return;
    for (Object* a = node; a; a = NodeOf(a) ? NodeOf(a)->parent : nullptr)
        if (a == child)
            return;
    Detach(vm, child);
    index = std::min(index, n->children.size());
    vm.heap().Charge(sizeof(Object*));
    n->children.insert(n->children.begin() + long(index), child);
    c->parent = node;
    c->indexHint = index;
    Refresh(vm, n, index + 1 == n->children.size());
}

// ---- XMLNode properties ----

Value NodeType(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? Value::Num(n->type) : Value();
}
Value NodeValue(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? n->value : Value();
}
Value SetNodeValue(Vm& vm, const Value& self, const Args& a) {
    if (XmlNode* n = NodeOf(self))
        if (a.size() > 0)
            n->value = Value::Str(vm.ToString(a[0]));
    return Value();
}
Value NodeName(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? n->name : Value();
}
Value SetNodeName(Vm& vm, const Value& self, const Args& a) {
    if (XmlNode* n = NodeOf(self))
        if (a.size() > 0 && !a[0].IsUndefined())
            n->name = Value::Str(vm.ToString(a[0]));
    return Value();
}
// The colon splitting prefix from local name; npos when none (or at the very end).
size_t Colon(const std::string& name) {
    size_t c = name.find(':');
    return c != std::string::npos && c + 1 < name.size() ? c : std::string::npos;
}
Value Prefix(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n || !n->name.IsString())
        return n ? Value::Null() : Value();
    size_t c = Colon(n->name.s);
    return Value::Str(c == std::string::npos ? "" : n->name.s.get().substr(0, c));
}
Value LocalName(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n || !n->name.IsString())
        return n ? Value::Null() : Value();
    size_t c = Colon(n->name.s);
    return c == std::string::npos ? n->name : Value::Str(n->name.s.get().substr(c + 1));
}
// xmlns or xmlns:prefix on the node or its nearest ancestor that has it.
Value NamespaceFor(Vm& vm, Object* node, const std::string& prefix) {
    const std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (Object* o = node; o; o = NodeOf(o) ? NodeOf(o)->parent : nullptr) {
        XmlNode* n = NodeOf(o);
        if (!n)
            break;
        if (n->attributes) {
            Value v = vm.Get(Value::Obj(n->attributes), attr);
            if (!v.IsUndefined())
                return Value::Str(vm.ToString(v));
        }
    }
    return Value::Null();
}
Value NamespaceUri(Vm& vm, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n || !n->name.IsString())
        return n ? Value::Null() : Value();
    size_t c = Colon(n->name.s);
    Value uri =
        NamespaceFor(vm, self.o, c == std::string::npos ? "" : n->name.s.get().substr(0, c));
    return uri.IsString() ? uri : Value::Str("");
}
Value Attributes(Vm& vm, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? Value::Obj(AttributesOf(vm, n)) : Value();
}
Value ParentNode(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? Value::Obj(n->parent) : Value();
}
Value Sibling(const Value& self, int step) {
    XmlNode* n = NodeOf(self);
    if (!n)
        return Value();
    XmlNode* p = n->parent ? NodeOf(n->parent) : nullptr;
    size_t i = p ? IndexIn(p, self.o) : size_t(-1);
    if (i == size_t(-1) || (step < 0 && i == 0) || (step > 0 && i + 1 >= p->children.size()))
        return Value::Null();
    return Value::Obj(p->children[step < 0 ? i - 1 : i + 1]);
}
Value PreviousSibling(Vm&, const Value& self, const Args&) {
    return Sibling(self, -1);
}
Value NextSibling(Vm&, const Value& self, const Args&) {
    return Sibling(self, 1);
}
Value FirstChild(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n)
        return Value();
    return n->children.empty() ? Value::Null() : Value::Obj(n->children.front());
}
Value LastChild(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n)
        return Value();
    return n->children.empty() ? Value::Null() : Value::Obj(n->children.back());
}
Value ChildNodes(Vm& vm, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    if (!n)
        return Value();
    if (!n->childNodes) {
        n->childNodes = vm.NewArray();
        Refresh(vm, n);
    }
    return Value::Obj(n->childNodes);
}

// ---- XMLNode methods ----

Value AppendChild(Vm& vm, const Value& self, const Args& a) {
    XmlNode* n = NodeOf(self);
    if (n && NodeOf(a[0]) && IndexIn(n, a[0].o) == size_t(-1))
        InsertAt(vm, self.o, a[0].o, n->children.size());
    return Value();
}
Value InsertBefore(Vm& vm, const Value& self, const Args& a) {
    XmlNode* n = NodeOf(self);
    if (!n || !NodeOf(a[0]) || !NodeOf(a[1]) || IndexIn(n, a[0].o) != size_t(-1))
        return Value();
    size_t at = IndexIn(n, a[1].o);
    if (at != size_t(-1))
        InsertAt(vm, self.o, a[0].o, at);
    return Value();
}
Value RemoveNode(Vm& vm, const Value& self, const Args&) {
    if (NodeOf(self))
        Detach(vm, self.o);
    return Value();
}
Value HasChildNodes(Vm&, const Value& self, const Args&) {
    XmlNode* n = NodeOf(self);
    return n ? Value::Bool(!n->children.empty()) : Value();
}

// Making a node looks up XMLNode, which a getter may answer by running script: nodes are
// looked up again after each one made.
Object* CloneOne(Vm& vm, Object* from) {
    Object* o = NewNode(vm, 1, "");
    XmlNode* src = NodeOf(from);
    XmlNode* d = NodeOf(o);
    if (!src || !d)
        return o;
    d->type = src->type;
    d->name = src->name;
    d->value = src->value;
    if (src->attributes)
        for (const Property& p : src->attributes->props)
            if (!(p.flags & kDontEnum))
                AttributesOf(vm, d)->Put(p.name, p.value, vm.caseSensitive());
    return o;
}
Value CloneNode(Vm& vm, const Value& self, const Args& a) {
    if (!NodeOf(self))
        return Value();
    Object* top = CloneOne(vm, self.o);
    if (!ToBoolean(a[0], vm.version()))
        return Value::Obj(top);
    std::vector<std::pair<Object*, Object*>> work{{self.o, top}};
    while (!work.empty() && !vm.aborted()) {
        auto [src, dst] = work.back();
        work.pop_back();
        XmlNode* s = NodeOf(src);
        if (!s)
            continue;
        const std::vector<Object*> children = s->children;
        for (Object* c : children) {
            if (!NodeOf(c))
                continue;
            Object* copy = CloneOne(vm, c);
            XmlNode* d = NodeOf(dst);
            XmlNode* k = NodeOf(copy);
            if (!d || !k)
                break;
            k->parent = dst;
            k->indexHint = d->children.size();
            vm.heap().Charge(sizeof(Object*));
            d->children.push_back(copy);
            work.emplace_back(c, copy);
        }
    }
    return Value::Obj(top);
}

// A node's own attribute names in the order for..in gives them: the last added first.
std::vector<std::string> AttributeNames(XmlNode* n) {
    std::vector<std::string> names;
    if (n->attributes)
        for (size_t i = n->attributes->props.size(); i-- > 0;)
            if (!(n->attributes->props[i].flags & kDontEnum))
                names.push_back(n->attributes->props[i].name);
    return names;
}

// Converting a value may run script, which may change any node: n is not used after.
void WriteAttributes(Vm& vm, XmlNode* n, std::string& out) {
    Object* attrs = n->attributes;
    for (const std::string& name : AttributeNames(n)) {
        Value v = vm.Get(Value::Obj(attrs), name);
        out += ' ';
        out += name;
        out += "=\"";
        out += xml::Escape(vm.ToString(v));
        out += '"';
    }
}

std::string Write(Vm& vm, Object* root) {
    std::string out;
    if (XmlNode* n = NodeOf(root)) {
        if (n->doc && n->doc->xmlDecl.IsString())
            out += n->doc->xmlDecl.s.get();
        if (n->doc && n->doc->docType.IsString())
            out += n->doc->docType.s.get();
    }
    // (node, next child to write); an element's end tag follows its last child.
    std::vector<std::pair<Object*, size_t>> stack{{root, 0}};
    while (!stack.empty() && !vm.aborted()) {
        auto& [o, next] = stack.back();
        XmlNode* n = NodeOf(o);
        if (!n) {
            stack.pop_back();
            continue;
        }
        const bool named = n->type == 1 && n->name.IsString();
        if (n->type != 1) {
            out += xml::Escape(n->value.IsString() ? n->value.s.get() : "null");
            stack.pop_back();
            continue;
        }
        if (next == 0 && named) {
            out += '<';
            out += n->name.s.get();
            WriteAttributes(vm, n, out);
            n = NodeOf(o);
            if (!n || n->children.empty()) {
                out += " />";
                stack.pop_back();
                continue;
            }
            out += '>';
        }
        if (next < n->children.size()) {
            Object* child = n->children[next++];
            stack.emplace_back(child, 0);
        } else {
            if (named) {
                out += "</";
                out += n->name.s.get();
                out += '>';
            }
            stack.pop_back();
        }
        if (!vm.StringFits(out.size()))
            break;
    }
    return out;
}
Value NodeToString(Vm& vm, const Value& self, const Args&) {
    if (!NodeOf(self))
        return Value();
    return Value::Str(Write(vm, self.o));
}

Value FindPrefix(Vm& vm, Object* node, const std::string& uri) {
    for (Object* o = node; o && NodeOf(o); o = NodeOf(o) ? NodeOf(o)->parent : nullptr) {
        XmlNode* n = NodeOf(o);
        Object* attrs = n->attributes;
        for (const std::string& k : AttributeNames(n)) {
            if (k.size() < 5 || !NamesEqual(k.substr(0, 5), "xmlns", 5, false) ||
                (k.size() > 5 && k[5] != ':'))
                continue;
            if (NamesEqual(vm.ToString(vm.Get(Value::Obj(attrs), k)), uri, false))
                return Value::Str(k.size() > 6 ? k.substr(6) : "");
        }
    }
    return Value::Null();
}
Value GetNamespaceForPrefix(Vm& vm, const Value& self, const Args& a) {
    if (!NodeOf(self))
        return Value();
    if (a.size() == 0)
        return Value::Null();
    return NamespaceFor(vm, self.o, vm.ToString(a[0]));
}
Value GetPrefixForNamespace(Vm& vm, const Value& self, const Args& a) {
    if (!NodeOf(self))
        return Value();
    if (a.size() == 0)
        return Value::Null();
    return FindPrefix(vm, self.o, vm.ToString(a[0]));
}

// Made by `new` or by a subclass's super(); called as a plain function (this is then a
// clip, or nothing) it makes nothing.
bool Constructing(const Value& self) {
    return self.IsObject() && self.o->kind == Kind::Plain;
}

Value XmlNodeCtor(Vm& vm, const Value& self, const Args& a) {
    if (!Constructing(self) || a.size() < 2 || a[0].IsUndefined() || a[1].IsUndefined())
        return Value();
    double t = vm.ToNumber(a[0]);
    Attach(vm, self.o, std::isfinite(t) ? ClampInt(t) : 0, vm.ToString(a[1]));
    return Value();
}

// ---- XML ----

Document* DocOf(const Value& self) {
    XmlNode* n = NodeOf(self);
    return n ? n->doc.get() : nullptr;
}

void IdMap(Vm& vm, Object* xml, const std::string& id, Object* node) {
    Object* map = xml;
    if (vm.version() >= 8) {
        Value m;
        if (vm.HasProperty(xml, "idMap")) {
            m = vm.GetProp(xml, "idMap");
            if (!m.IsObject())
                return;
        } else {
            m = Value::Obj(vm.NewObject());
            vm.Set(Value::Obj(xml), "idMap", m);
        }
        map = m.o;
    }
    vm.Set(Value::Obj(map), id, Value::Obj(node));
}

void ParseInto(Vm& vm, Object* xml, const std::string& text) {
    XmlNode* root = NodeOf(xml);
    if (!root || !root->doc)
        return;
    for (Object* c : root->children)
        if (XmlNode* cn = NodeOf(c))
            cn->parent = nullptr;
    root->children.clear();
    root->doc->xmlDecl = Value();
    root->doc->docType = Value();
    const bool ignoreWhite = ToBoolean(vm.GetProp(xml, "ignoreWhite"), vm.version());
    // Half of what memory is left, so the script can still use what it parsed.
    xml::Parsed parsed =
        xml::Parse(text, ignoreWhite, vm.caseSensitive(), vm.heap().Remaining() / 2);
    root->doc->status = int(parsed.status);
    if (parsed.hasXmlDecl)
        root->doc->xmlDecl = Value::Str(std::move(parsed.xmlDecl));
    if (parsed.hasDocType)
        root->doc->docType = Value::Str(std::move(parsed.docType));
    std::vector<Object*> made;
    made.reserve(parsed.nodes.size());
    for (xml::ParsedNode& p : parsed.nodes) {
        if (vm.aborted())
            return;
        Object* o = NewNode(vm, p.element ? 1 : 3, p.text);
        made.push_back(o);
        Object* parent = p.parent < 0 ? xml : made[size_t(p.parent)];
        XmlNode* pn = NodeOf(parent);
        XmlNode* n = NodeOf(o);
        if (!pn || !n)
            continue;
        n->parent = parent;
        n->indexHint = pn->children.size();
        pn->children.push_back(o);
        if (p.attributes.empty())
            continue;
        // Added last to first, so for..in and toString give them in source order.
        Object* attrs = AttributesOf(vm, n);
        for (size_t i = p.attributes.size(); i-- > 0;)
            vm.Set(Value::Obj(attrs), p.attributes[i].first, Value::Str(p.attributes[i].second));
        for (const auto& attr : p.attributes)
            if (attr.first == "id")
                IdMap(vm, xml, attr.second, o);
    }
    // Setters met on the way may have run script: look everything up again.
    if ((root = NodeOf(xml)) == nullptr)
        return;
    for (Object* o : made)
        vm.heap().Charge(NodeOf(o) ? NodeOf(o)->children.size() * sizeof(Object*) : 0);
    vm.heap().Charge(root->children.size() * sizeof(Object*));
    Refresh(vm, root);
    for (Object* o : made)
        if (XmlNode* n = NodeOf(o))
            Refresh(vm, n);
}

Value XmlCtor(Vm& vm, const Value& self, const Args& a) {
    if (!Constructing(self))
        return Value();
    XmlNode* n = Attach(vm, self.o, 1, "");
    n->name = Value::Null();
    n->doc = std::make_unique<Document>();
    if (a.size() > 0 && !a[0].IsUndefined())
        ParseInto(vm, self.o, vm.ToString(a[0]));
    return Value();
}
Value ParseXml(Vm& vm, const Value& self, const Args& a) {
    if (DocOf(self) && a.size() > 0 && !a[0].IsUndefined())
        ParseInto(vm, self.o, vm.ToString(a[0]));
    return Value();
}
Value CreateNode(Vm& vm, const Value& self, const Args& a, int type) {
    if (!DocOf(self) || a.size() == 0 || a[0].IsUndefined())
        return Value();
    return Value::Obj(NewNode(vm, type, vm.ToString(a[0])));
}
Value CreateElement(Vm& vm, const Value& self, const Args& a) {
    return CreateNode(vm, self, a, 1);
}
Value CreateTextNode(Vm& vm, const Value& self, const Args& a) {
    return CreateNode(vm, self, a, 3);
}
Value Status(Vm&, const Value& self, const Args&) {
    Document* d = DocOf(self);
    return d ? Value::Num(d->status) : Value();
}
Value SetStatus(Vm& vm, const Value& self, const Args& a) {
    Document* d = DocOf(self);
    if (d && a.size() > 0 && !a[0].IsUndefined()) {
        double s = vm.ToNumber(a[0]);
        d->status = std::isfinite(s) ? ToInt32(s) : 0;
    }
    return Value();
}
Value XmlDecl(Vm&, const Value& self, const Args&) {
    Document* d = DocOf(self);
    return d ? d->xmlDecl : Value();
}
Value SetXmlDecl(Vm& vm, const Value& self, const Args& a) {
    Document* d = DocOf(self);
    if (d && a.size() > 0 && !a[0].IsUndefined())
        d->xmlDecl = Value::Str(vm.ToString(a[0]));
    return Value();
}
Value DocTypeDecl(Vm&, const Value& self, const Args&) {
    Document* d = DocOf(self);
    return d ? d->docType : Value();
}
Value SetDocTypeDecl(Vm& vm, const Value& self, const Args& a) {
    Document* d = DocOf(self);
    if (d && a.size() > 0 && !a[0].IsUndefined())
        d->docType = Value::Str(vm.ToString(a[0]));
    return Value();
}

// Nothing is fetched: the answer comes after the frame's scripts, as from a missing file.
Value Load(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a.size() == 0 || a[0].type == Type::Null)
        return Value::Bool(false);
    vm.Notice("XML.load blocked: " + vm.ToString(a[0]));
    vm.Set(self, "loaded", Value::Bool(false));
    vm.Later(self.o, "onData", {Value()});
    return Value::Bool(true);
}
Value SendAndLoad(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject() || a[0].type == Type::Null || !a[1].IsObject())
        return Value();
    vm.Notice("XML.sendAndLoad blocked: " + vm.ToString(a[0]));
    vm.Set(a[1], "loaded", Value::Bool(false));
    vm.Later(a[1].o, "onData", {Value()});
    return Value();
}
Value Send(Vm& vm, const Value&, const Args& a) {
    vm.Notice("XML.send blocked: " + vm.ToString(a[0]));
    return Value::Bool(false);
}
Value OnData(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    const bool ok = !a[0].IsNullish();
    vm.Set(self, "loaded", Value::Bool(ok));
    if (ok) {
        Value text = Value::Str(vm.ToString(a[0]));
        vm.CallMethod(self, "parseXML", &text, 1);
    }
    Value arg = Value::Bool(ok);
    vm.CallMethod(self, "onLoad", &arg, 1);
    return Value();
}
Value BytesLoaded(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "_bytesLoaded");
}
Value BytesTotal(Vm& vm, const Value& self, const Args&) {
    return vm.Get(self, "_bytesTotal");
}
Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}

void Accessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set = nullptr) {
    Property& p = o->Put(name, Value(), false, kDontEnum | kDontDelete);
    p.getter = vm.NewNative(get);
    if (set)
        p.setter = vm.NewNative(set);
}

} // namespace

void InstallXml(Vm& vm) {
    Object* node = vm.NewObject();
    vm.global()->Put("XMLNode", Value::Obj(vm.NewNative(XmlNodeCtor, node)), false, kDontEnum);
    Accessor(vm, node, "nodeType", NodeType);
    Accessor(vm, node, "nodeValue", NodeValue, SetNodeValue);
    Accessor(vm, node, "nodeName", NodeName, SetNodeName);
    Accessor(vm, node, "prefix", Prefix);
    Accessor(vm, node, "localName", LocalName);
    Accessor(vm, node, "namespaceURI", NamespaceUri);
    Accessor(vm, node, "attributes", Attributes);
    Accessor(vm, node, "parentNode", ParentNode);
    Accessor(vm, node, "previousSibling", PreviousSibling);
    Accessor(vm, node, "nextSibling", NextSibling);
    Accessor(vm, node, "firstChild", FirstChild);
    Accessor(vm, node, "lastChild", LastChild);
    Accessor(vm, node, "childNodes", ChildNodes);
    static const NativeMethod nodeMethods[] = {
        {"appendChild", AppendChild},
        {"insertBefore", InsertBefore},
        {"removeNode", RemoveNode},
        {"cloneNode", CloneNode},
        {"hasChildNodes", HasChildNodes},
        {"toString", NodeToString},
        {"getNamespaceForPrefix", GetNamespaceForPrefix},
        {"getPrefixForNamespace", GetPrefixForNamespace},
    };
    Methods(vm, node, nodeMethods);

    Object* xml = vm.NewObject();
    xml->proto = node;
    vm.global()->Put("XML", Value::Obj(vm.NewNative(XmlCtor, xml)), false, kDontEnum);
    Accessor(vm, xml, "status", Status, SetStatus);
    Accessor(vm, xml, "xmlDecl", XmlDecl, SetXmlDecl);
    Accessor(vm, xml, "docTypeDecl", DocTypeDecl, SetDocTypeDecl);
    // Plain values, so XML.prototype.ignoreWhite = true reaches every document.
    xml->Put("ignoreWhite", Value::Bool(false), false, kDontEnum);
    xml->Put("contentType", Value::Str("application/x-www-form-urlencoded"), false, kDontEnum);
    static const NativeMethod xmlMethods[] = {
        {"createElement", CreateElement},
        {"createTextNode", CreateTextNode},
        {"parseXML", ParseXml},
        {"load", Load},
        {"sendAndLoad", SendAndLoad},
        {"send", Send},
        {"onData", OnData},
        {"onLoad", Nothing},
        {"getBytesLoaded", BytesLoaded},
        {"getBytesTotal", BytesTotal},
        {"addRequestHeader", Nothing},
    };
    Methods(vm, xml, xmlMethods);
}

} // namespace avm1
