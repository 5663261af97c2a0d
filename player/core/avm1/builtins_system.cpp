// What a screen saver has no use for but movies still ask: System and its capabilities,
// ExternalInterface, FileReference, Camera, Microphone, PrintJob, ContextMenu,
// Accessibility, XMLSocket, and the listener lists of Stage, Key and Mouse. Each answers
// as Flash Player 8's ActiveX control on Windows answers a movie played from a local file:
// no dialog opens, no device is found, nothing leaves the machine.
#include "player/core/avm1/listeners.h"
#include "player/core/avm1/xml_tree.h"

namespace avm1 {
namespace {

constexpr char kVersion[] = "WIN 8,0,42,0";
constexpr char kManufacturer[] = "Macromedia Windows";
constexpr int kScreenWidth = 1024, kScreenHeight = 768;

Value Nothing(Vm&, const Value&, const Args&) {
    return Value();
}
Value MinusOne(Vm&, const Value&, const Args&) {
    return Value::Num(-1);
}
// ---- Selection: the focus, which only scripts move here ----

Value GetFocus(Vm& vm, const Value&, const Args&) {
    Object* o = vm.focus() ? vm.ClipObject(vm.focus()) : nullptr;
    return o != nullptr ? Value::Str(vm.TargetPath(o)) : Value::Null();
}
// An input field, a button, or a clip that asks for it (focusEnabled or a button handler)
// takes the focus; null or undefined clears it.
Value SetFocus(Vm& vm, const Value&, const Args& a) {
    if (a[0].IsNullish()) {
        vm.SetFocus(0);
        return Value::Bool(true);
    }
    ClipId id = vm.ClipOf(a[0]);
    if (!id && a[0].IsString() && vm.RootClip()) {
        Object* target = vm.ResolveTarget(vm.ClipObject(vm.RootClip()), a[0].s);
        id = target != nullptr ? vm.ClipOf(Value::Obj(target)) : 0;
    }
    if (!id || !vm.display())
        return Value::Bool(false);
    bool focusable = false;
    switch (vm.display()->KindOf(id)) {
    case DisplayKind::Text: {
        const timeline::TextFieldState* field = vm.display()->TextField(id);
        focusable = field != nullptr && field->editable;
        break;
    }
    case DisplayKind::Button:
        focusable = true;
        break;
    case DisplayKind::Clip: {
        const Value self = Value::Obj(vm.ClipObject(id));
        focusable = ToBoolean(vm.Get(self, "focusEnabled"), vm.version());
        for (const char* handler : {"onPress", "onRelease", "onRollOver", "onRollOut"})
            focusable = focusable || vm.Get(self, handler).IsObject();
        break;
    }
    default:
        break;
    }
    if (!focusable)
        return Value::Bool(false);
    vm.SetFocus(id);
    return Value::Bool(true);
}

Value False(Vm&, const Value&, const Args&) {
    return Value::Bool(false);
}

Object* Child(Vm& vm, Object* where, const char* name) {
    Value v = vm.GetProp(where, name);
    if (v.IsObject())
        return v.o;
    Object* o = vm.NewObject();
    where->Put(name, Value::Obj(o), vm.caseSensitive(), kDontEnum);
    return o;
}
Object* NewClass(Vm& vm, Object* where, const char* name, NativeFn ctor) {
    Object* proto = vm.NewObject();
    where->Put(name, Value::Obj(vm.NewNative(ctor, proto)), false, kDontEnum);
    return proto;
}
Object* ClassObject(Vm& vm, Object* where, const char* name) {
    return vm.GetProp(where, name).o;
}

// ---- System ----

void Capabilities(Object* caps) {
    struct Flag {
        const char* name;
        const char* code; // in serverString
        bool value;
    };
    static const Flag flags[] = {
        {"hasAudio", "A", true},
        {"hasStreamingAudio", "SA", true},
        {"hasStreamingVideo", "SV", true},
        {"hasEmbeddedVideo", "EV", true},
        {"hasMP3", "MP3", true},
        {"hasAudioEncoder", "AE", true},
        {"hasVideoEncoder", "VE", true},
        {"hasAccessibility", "ACC", true},
        {"hasPrinting", "PR", true},
        {"hasScreenPlayback", "SP", false},
        {"hasScreenBroadcast", "SB", false},
        {"isDebugger", "DEB", false},
    };
    std::string server;
    for (const Flag& f : flags) {
        caps->Put(f.name, Value::Bool(f.value), false);
        server += std::string(server.empty() ? "" : "&") + f.code + (f.value ? "=t" : "=f");
    }
    const std::string resolution =
        std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight);
    server += "&V=" + UrlEscape(kVersion) + "&M=" + UrlEscape(kManufacturer) + "&R=" + resolution +
              "&DP=72&COL=color&AR=1.0&OS=" + UrlEscape("Windows XP") +
              "&L=en&PT=ActiveX&AVD=f&LFD=f&WD=f&IME=t";
    caps->Put("version", Value::Str(kVersion), false);
    caps->Put("manufacturer", Value::Str(kManufacturer), false);
    caps->Put("os", Value::Str("Windows XP"), false);
    caps->Put("language", Value::Str("en"), false);
    caps->Put("playerType", Value::Str("ActiveX"), false);
    caps->Put("screenResolutionX", Value::Num(kScreenWidth), false);
    caps->Put("screenResolutionY", Value::Num(kScreenHeight), false);
    caps->Put("screenDPI", Value::Num(72), false);
    caps->Put("screenColor", Value::Str("color"), false);
    caps->Put("pixelAspectRatio", Value::Num(1), false);
    caps->Put("hasIME", Value::Bool(true), false);
    caps->Put("avHardwareDisable", Value::Bool(false), false);
    caps->Put("localFileReadDisable", Value::Bool(false), false);
    caps->Put("windowlessDisable", Value::Bool(false), false);
    caps->Put("serverString", Value::Str(server), false);
}

Value SandboxType(Vm& vm, const Value&, const Args&) {
    return Value::Str(vm.useNetwork ? "localWithNetwork" : "localWithFile");
}
Value ShowSettings(Vm& vm, const Value&, const Args&) {
    vm.Notice("System.showSettings ignored");
    return Value();
}

// ---- ExternalInterface: the container answers no call ----

Value EiCall(Vm& vm, const Value&, const Args& a) {
    vm.Notice("ExternalInterface.call ignored: " + vm.ToString(a[0]));
    return Value::Null();
}
Value EiAddCallback(Vm&, const Value&, const Args& a) {
    return Value::Bool(a.size() >= 3 && a[2].IsObject() && a[2].o->IsFunction());
}

// The encoders the player's own ExternalInterface code uses to hand values to the
// container, written natively; nesting past the call limit stops the script as the
// recursion limit would.
std::string ToXml(Vm& vm, const Value& v, int depth);

bool Deep(Vm& vm, int depth) {
    if (depth < 256 && !vm.aborted())
        return false;
    vm.Abort(RunResult::TooDeep);
    return true;
}
std::string ArrayToXml(Vm& vm, const Value& v, int depth) {
    std::string out = "<array>";
    const double n = vm.ToNumber(vm.Get(v, "length"));
    for (double i = 0; i < n && !Deep(vm, depth); i++) {
        const std::string id = NumberToString(i);
        out += "<property id=\"" + id + "\">" + ToXml(vm, vm.Get(v, id), depth + 1) + "</property>";
        if (!vm.StringFits(out.size()))
            break;
    }
    return out + "</array>";
}
std::string ArgumentsToXml(Vm& vm, const Value& v, int depth) {
    std::string out = "<arguments>";
    const double n = vm.ToNumber(vm.Get(v, "length"));
    for (double i = 1; i < n && !Deep(vm, depth); i++) { // the first is the method's name
        out += ToXml(vm, vm.Get(v, NumberToString(i)), depth + 1);
        if (!vm.StringFits(out.size()))
            break;
    }
    return out + "</arguments>";
}
std::string ObjectToXml(Vm& vm, const Value& v, int depth) {
    std::string out = "<object>";
    if (v.IsObject()) {
        std::vector<std::string> keys = vm.Keys(v.o);
        for (size_t i = keys.size(); i-- > 0 && !Deep(vm, depth);) { // for..in order
            out += "<property id=\"" + keys[i] + "\">" + ToXml(vm, vm.Get(v, keys[i]), depth + 1) +
                   "</property>";
            if (!vm.StringFits(out.size()))
                break;
        }
    }
    return out + "</object>";
}
std::string ToXml(Vm& vm, const Value& v, int depth) {
    switch (v.type) {
    case Type::Undefined:
        return "<undefined/>";
    case Type::Null:
        return "<null/>";
    case Type::Boolean:
        return v.b ? "<true/>" : "<false/>";
    case Type::Number:
        return "<number>" + vm.ToString(v) + "</number>";
    case Type::String:
        return "<string>" + (v.s.empty() ? "null" : xml::Escape(v.s)) + "</string>";
    case Type::Object:
        break;
    }
    if (v.o->IsFunction())
        return "<null/>";
    if (!vm.Get(v, "length").IsUndefined())
        return ArrayToXml(vm, v, depth);
    return ObjectToXml(vm, v, depth);
}
Value EiToXml(Vm& vm, const Value&, const Args& a) {
    return Value::Str(ToXml(vm, a[0], 0));
}
Value EiArrayToXml(Vm& vm, const Value&, const Args& a) {
    return Value::Str(ArrayToXml(vm, a[0], 0));
}
Value EiArgumentsToXml(Vm& vm, const Value&, const Args& a) {
    return Value::Str(ArgumentsToXml(vm, a[0], 0));
}
Value EiObjectToXml(Vm& vm, const Value&, const Args& a) {
    return Value::Str(ObjectToXml(vm, a[0], 0));
}
Value EiEscapeXml(Vm& vm, const Value&, const Args& a) {
    return Value::Str(xml::Escape(vm.ToString(a[0])));
}
Value EiUnescapeXml(Vm& vm, const Value&, const Args& a) {
    const std::string s = vm.ToString(a[0]);
    return Value::Str(xml::Unescape(s.data(), s.size()));
}

// ---- FileReference, FileReferenceList: the dialog is answered "cancel" ----

Value FileRefCtor(Vm& vm, const Value& self, const Args&) {
    if (self.IsObject())
        MakeBroadcaster(vm, self.o, false);
    return Value();
}
Value Browse(Vm& vm, const Value& self, const Args&) {
    if (!self.IsObject())
        return Value::Bool(false);
    vm.Notice("file dialog answered cancel");
    vm.Later(self.o, "broadcastMessage", {Value::Str("onCancel"), self});
    return Value::Bool(true);
}
Value FileTransfer(Vm& vm, const Value&, const Args& a) {
    vm.Notice("file transfer blocked: " + vm.ToString(a[0]));
    return Value::Bool(false);
}

// ---- Camera, Microphone: no device ----

Value NoDevice(Vm&, const Value&, const Args&) {
    return Value::Null();
}

// ---- PrintJob: the print dialog is answered "cancel" ----

Value PrintStart(Vm& vm, const Value&, const Args&) {
    vm.Notice("print dialog answered cancel");
    return Value::Bool(false);
}

// ---- ContextMenu ----

Value MenuCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    Object* items = vm.NewObject();
    for (const char* name :
         {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"})
        vm.Set(Value::Obj(items), name, Value::Bool(true));
    vm.Set(self, "builtInItems", Value::Obj(items));
    vm.Set(self, "customItems", Value::Obj(vm.NewArray()));
    if (a.size() > 0)
        vm.Set(self, "onSelect", a[0]);
    return Value();
}
Value HideBuiltIns(Vm& vm, const Value& self, const Args&) {
    Value items = vm.Get(self, "builtInItems");
    if (items.IsObject())
        for (const std::string& k : vm.Keys(items.o))
            vm.Set(items, k, Value::Bool(false));
    return Value();
}
Value MenuCopy(Vm& vm, const Value& self, const Args&) {
    Value ctor = vm.Get(self, "constructor");
    Value onSelect = vm.Get(self, "onSelect");
    Value copy = vm.Construct(ctor, &onSelect, 1);
    Value items = vm.Get(self, "builtInItems"), to = vm.Get(copy, "builtInItems");
    if (items.IsObject() && to.IsObject())
        for (const std::string& k : vm.Keys(items.o))
            vm.Set(to, k, vm.Get(items, k));
    Value custom = vm.Get(self, "customItems");
    if (custom.IsObject() && custom.o->kind == Kind::Array)
        vm.Set(copy, "customItems", Value::Obj(vm.NewArray(custom.o->elements)));
    return copy;
}
Value MenuItemCtor(Vm& vm, const Value& self, const Args& a) {
    if (!self.IsObject())
        return Value();
    vm.Set(self, "caption", a[0]);
    vm.Set(self, "onSelect", a[1]);
    vm.Set(self, "separatorBefore", Value::Bool(ToBoolean(a[2], vm.version())));
    vm.Set(self, "enabled",
           a.size() > 3 ? Value::Bool(ToBoolean(a[3], vm.version())) : Value::Bool(true));
    vm.Set(self, "visible",
           a.size() > 4 ? Value::Bool(ToBoolean(a[4], vm.version())) : Value::Bool(true));
    return Value();
}

// ---- XMLSocket: no server is reached ----

Value SocketConnect(Vm& vm, const Value& self, const Args& a) {
    vm.Notice("XMLSocket.connect blocked: " + vm.ToString(a[0]));
    if (self.IsObject())
        vm.Later(self.o, "onConnect", {Value::Bool(false)});
    return Value::Bool(true);
}

} // namespace

void InstallSystem(Vm& vm) {
    Object* g = vm.global();
    g->Put("$version", Value::Str(kVersion), false, kDontEnum);

    Object* system = Child(vm, g, "System");
    Capabilities(Child(vm, system, "capabilities"));
    Object* security = Child(vm, system, "security");
    security->Put("sandboxType", Value(), false, kDontEnum).getter = vm.NewNative(SandboxType);
    static const NativeMethod securityMethods[] = {
        {"allowDomain", Nothing},
        {"allowInsecureDomain", Nothing},
        {"loadPolicyFile", Nothing},
    };
    Methods(vm, security, securityMethods);
    Object* ime = Child(vm, system, "IME");
    static const NativeMethod imeMethods[] = {
        {"getEnabled", False},           {"setEnabled", False},
        {"getConversionMode", Nothing},  {"setConversionMode", False},
        {"setCompositionString", False}, {"doConversion", False},
    };
    Methods(vm, ime, imeMethods);
    AddBroadcasterMethods(vm, ime);
    MakeBroadcaster(vm, ime, false);
    system->Put("useCodepage", Value::Bool(false), false, kDontEnum);
    system->Put("exactSettings", Value::Bool(vm.version() >= 7), false, kDontEnum);
    static const NativeMethod systemMethods[] = {{"setClipboard", False},
                                                 {"showSettings", ShowSettings}};
    Methods(vm, system, systemMethods);

    Object* flash = Child(vm, g, "flash");
    Object* external = Child(vm, flash, "external");
    NewClass(vm, external, "ExternalInterface", Nothing);
    Object* ei = ClassObject(vm, external, "ExternalInterface");
    ei->Put("available", Value::Bool(true), false, kDontEnum | kDontDelete | kReadOnly);
    static const NativeMethod eiMethods[] = {
        {"call", EiCall},
        {"addCallback", EiAddCallback},
        {"_toXML", EiToXml},
        {"_arrayToXML", EiArrayToXml},
        {"_argumentsToXML", EiArgumentsToXml},
        {"_objectToXML", EiObjectToXml},
        {"_escapeXML", EiEscapeXml},
        {"_unescapeXML", EiUnescapeXml},
    };
    Methods(vm, ei, eiMethods);

    Object* net = Child(vm, flash, "net");
    Object* file = NewClass(vm, net, "FileReference", FileRefCtor);
    AddBroadcasterMethods(vm, file);
    static const NativeMethod fileMethods[] = {
        {"browse", Browse},
        {"upload", FileTransfer},
        {"download", FileTransfer},
        {"cancel", Nothing},
    };
    Methods(vm, file, fileMethods);
    Object* files = NewClass(vm, net, "FileReferenceList", FileRefCtor);
    AddBroadcasterMethods(vm, files);
    Method(vm, files, "browse", Browse);

    Object* camera = ClassObject(vm, g, "Camera") ? nullptr : NewClass(vm, g, "Camera", Nothing);
    Object* mic =
        ClassObject(vm, g, "Microphone") ? nullptr : NewClass(vm, g, "Microphone", Nothing);
    for (Object* proto : {camera, mic}) {
        if (!proto)
            continue;
        Object* ctor = vm.GetProp(proto, "constructor").o;
        Method(vm, ctor, "get", NoDevice);
        ctor->Put("names", Value::Obj(vm.NewArray()), false, kDontEnum);
    }

    Object* print = NewClass(vm, g, "PrintJob", Nothing);
    static const NativeMethod printMethods[] = {
        {"start", PrintStart},
        {"addPage", False},
        {"send", Nothing},
    };
    Methods(vm, print, printMethods);

    Object* menu = NewClass(vm, g, "ContextMenu", MenuCtor);
    static const NativeMethod menuMethods[] = {{"hideBuiltInItems", HideBuiltIns},
                                               {"copy", MenuCopy}};
    Methods(vm, menu, menuMethods);
    NewClass(vm, g, "ContextMenuItem", MenuItemCtor);

    Object* access = Child(vm, g, "Accessibility");
    static const NativeMethod accessMethods[] = {{"isActive", False},
                                                 {"updateProperties", Nothing}};
    Methods(vm, access, accessMethods);

    // Nothing ever has focus or a selection in a screen saver.
    Object* selection = Child(vm, g, "Selection");
    static const NativeMethod selectionMethods[] = {
        {"getFocus", GetFocus},
        {"setFocus", SetFocus},
        {"setSelection", Nothing},
    };
    Methods(vm, selection, selectionMethods);
    for (const char* name : {"getBeginIndex", "getEndIndex", "getCaretIndex"})
        Method(vm, selection, name, MinusOne);
    AddBroadcasterMethods(vm, selection);
    MakeBroadcaster(vm, selection, false);

    Object* text = Child(vm, flash, "text");
    NewClass(vm, text, "TextRenderer", Nothing);
    Object* renderer = ClassObject(vm, text, "TextRenderer");
    renderer->Put("maxLevel", Value::Num(4), false, kDontEnum);
    Method(vm, renderer, "setAdvancedAntialiasingTable", Nothing);

    Object* socket = NewClass(vm, g, "XMLSocket", Nothing);
    static const NativeMethod socketMethods[] = {
        {"connect", SocketConnect},
        {"send", Nothing},
        {"close", Nothing},
    };
    Methods(vm, socket, socketMethods);

    // Stage, Key and Mouse come from the display built-ins; their listener lists are here.
    for (const char* name : {"Stage", "Key", "Mouse"}) {
        Value o = vm.GetProp(g, name);
        if (!o.IsObject())
            continue;
        AddBroadcasterMethods(vm, o.o);
        MakeBroadcaster(vm, o.o, false);
    }
    if (Object* key = vm.GetProp(g, "Key").o)
        if (!key->Find("ALT", false))
            Constant(vm, key, "ALT", Value::Num(18));
    if (Object* text = vm.ProtoNamed("TextField"))
        text->Put("mouseWheelEnabled", Value::Bool(true), false, kDontEnum);
}

} // namespace avm1
