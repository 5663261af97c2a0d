// Names made at run time, QName and Namespace (uri and prefix), and flash.utils.Proxy: a
// Proxy subclass answers, through its flash_proxy methods, the property reads, writes,
// calls, deletions and `in` tests its traits do not.
#include <cctype>

#include "player/core/avm2/vm.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

const char kProxyUri[] = "http://www.adobe.com/2006/actionscript/flash/proxy";

Object* QNameOf(const Value& v) {
    return v.IsObject() && v.o->kind == Kind::QName ? v.o : nullptr;
}
Value UriOf(Vm& vm, const Value& v) {
    if (v.IsObject() && v.o->kind == Kind::Namespace)
        return Value::Str(v.o->str);
    if (v.IsNull())
        return Value::Null();
    return Value::Str(vm.ToString(v));
}

// QName(), QName(name), QName(qname), QName(uri, name).
NATIVE(QNameCtor) {
    UNUSED;
    Object* q = QNameOf(self);
    if (!q)
        return Value();
    q->bound = Value::Str("");
    if (argc >= 2) {
        q->bound = UriOf(vm, args[0]);
        const Object* from = QNameOf(args[1]);
        q->str = from ? from->str : Text(args[1].IsUndefined() ? "" : vm.ToString(args[1]));
    } else if (argc == 1) {
        if (const Object* from = QNameOf(args[0])) {
            q->str = from->str;
            q->bound = from->bound;
        } else {
            q->str = args[0].IsUndefined() ? "" : vm.ToString(args[0]);
        }
    }
    return Value();
}
NATIVE(QNameCall) {
    UNUSED;
    if (argc == 1 && QNameOf(args[0]))
        return args[0];
    return vm.ConstructClass(vm.Builtin("QName"), args, argc);
}
NATIVE(QNameLocal) {
    UNUSED;
    const Object* q = QNameOf(self);
    return Value::Str(q ? q->str : Text());
}
NATIVE(QNameUri) {
    UNUSED;
    const Object* q = QNameOf(self);
    return q ? q->bound : Value::Null();
}
NATIVE(QNameToString) {
    UNUSED;
    const Object* q = QNameOf(self);
    if (!q)
        return Value::Str("");
    if (q->bound.IsNull())
        return Value::Str("*::" + q->str.get());
    const std::string uri = vm.ToString(q->bound);
    return Value::Str(uri.empty() ? q->str.get() : uri + "::" + q->str.get());
}
NATIVE(QNameValueOf) {
    UNUSED;
    return self;
}

// Namespace(uri) or Namespace(prefix, uri), as E4X has them: a prefix that is no XML name
// is dropped, and only "" may name the empty uri.
bool XmlName(const std::string& s) {
    if (s.empty() || !(std::isalpha(uint8_t(s[0])) || s[0] == '_' || uint8_t(s[0]) >= 0x80))
        return false;
    for (char c : s)
        if (!(std::isalnum(uint8_t(c)) || c == '_' || c == '-' || c == '.' || uint8_t(c) >= 0x80))
            return false;
    return true;
}
std::string NsUriOf(Vm& vm, const Value& v) {
    if (const Object* q = QNameOf(v))
        return q->bound.IsNull() ? "null" : vm.ToString(q->bound);
    if (v.IsObject() && v.o->kind == Kind::Namespace)
        return v.o->str;
    return vm.ToString(v);
}
NATIVE(NamespaceCtor) {
    UNUSED;
    if (!self.IsObject())
        return Value();
    Object* ns = self.o;
    ns->bound = Value();
    if (argc == 0) {
        ns->str = "";
        ns->bound = Value::Str("");
    } else if (argc == 1) {
        if (args[0].IsObject() && args[0].o->kind == Kind::Namespace) {
            ns->str = args[0].o->str;
            ns->bound = args[0].o->bound;
        } else {
            ns->str = NsUriOf(vm, args[0]);
            if (ns->str.empty())
                ns->bound = Value::Str("");
        }
    } else {
        ns->str = NsUriOf(vm, args[1]);
        const std::string prefix = vm.ToString(args[0]);
        if (vm.throwing())
            return Value();
        if (ns->str.empty()) {
            if (!prefix.empty() || args[0].IsNullish())
                return vm.ThrowError("TypeError", 1098,
                                     "Error #1098: Illegal prefix " + prefix +
                                         " for no namespace.");
            ns->bound = Value::Str("");
        } else if (!args[0].IsNullish() && (prefix.empty() || XmlName(prefix))) {
            ns->bound = Value::Str(prefix);
        }
    }
    ns->num = vm.InternNs(kGroupPublic, ns->str);
    return Value();
}
NATIVE(NamespaceCall) {
    UNUSED;
    if (argc == 1 && args[0].IsObject() && args[0].o->kind == Kind::Namespace)
        return args[0];
    return vm.ConstructClass(vm.namespaceClass, args, argc);
}
NATIVE(NamespacePrefix) {
    UNUSED;
    return self.IsObject() && self.o->kind == Kind::Namespace ? self.o->bound : Value();
}

NATIVE(ProxyCtor) {
    UNUSED;
    return Value();
}
// Proxy.hasOwnProperty asks flash_proxy::hasProperty with the name as a string.
NATIVE(ProxyHasOwn) {
    UNUSED;
    if (!self.IsObject())
        return Value::Bool(false);
    Value name = Value::Str(argc > 0 ? vm.ToString(args[0]) : "undefined");
    return Value::Bool(ToBoolean(vm.ProxyHook(self.o, "hasProperty", &name, 1)));
}

} // namespace

Value Vm::QNameValue(const Name& n) {
    Object* q = NewInstance(Builtin("QName"));
    q->str = n.local;
    std::string uri;
    if (!n.set && !n.anyNs && n.single != kPublicNs)
        for (const auto& e : nsIds_)
            if (e.second == n.single)
                uri = e.first.second;
    q->bound = Value::Str(uri);
    return Value::Obj(q);
}

bool Vm::IsProxy(const Object* o) const {
    return proxyClass && o->cls && o->cls != proxyClass && o->cls->IsSubclassOf(proxyClass);
}

Value Vm::ProxyHook(Object* o, const char* hook, Value* args, int argc) {
    Name n;
    n.local = hook;
    n.single = proxyNs;
    Object* holder;
    const Binding* b = FindTrait(o, n, &holder);
    if (!b || b->k != Binding::Method)
        return ThrowError("IllegalOperationError", 2088,
                          std::string("Error #2088: The Proxy class does not implement ") + hook +
                              ". It must be overridden by a subclass.");
    return Invoke(b->method, Value::Obj(o), args, argc, ScopeOf(b->method));
}

void InstallProxy(Vm& vm) {
    ClassInfo* q = vm.DefineClass("", "QName", vm.objectClass, Kind::QName, QNameCtor, QNameCall);
    static const Native qNatives[] = {
        Accessor("localName", QNameLocal), Accessor("uri", QNameUri),
        Fn("toString", QNameToString),     ProtoFn("toString", QNameToString),
        Fn("valueOf", QNameValueOf),
    };
    vm.AddNatives(q, qNatives);

    ClassInfo* ns = vm.namespaceClass;
    ns->iinit->native = NamespaceCtor;
    ns->call = NamespaceCall;
    vm.AddGetter(ns, "prefix", NamespacePrefix);

    ClassInfo* proxy =
        vm.DefineClass("flash.utils", "Proxy", vm.objectClass, Kind::Plain, ProxyCtor);
    vm.AddMethod(proxy, "hasOwnProperty", ProxyHasOwn);
    vm.proxyClass = proxy;
    vm.proxyNs = vm.InternNs(kGroupPublic, kProxyUri);
    Object* proxyNs = vm.heap().New(Kind::Namespace);
    proxyNs->cls = ns;
    proxyNs->proto = ns->prototype;
    proxyNs->str = kProxyUri;
    proxyNs->num = vm.proxyNs;
    vm.DefineConstant("flash.utils", "flash_proxy", Value::Obj(proxyNs));
}

} // namespace avm2
