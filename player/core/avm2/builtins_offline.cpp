// The classes that reach outside the player, answering as a Flash Player playing a local
// file with nothing around it: no browser (ExternalInterface), no file dialog (a browse is
// cancelled), no disk for shared objects (they live as long as the movie), no printer.
#include "player/core/avm2/display.h"

namespace avm2 {

namespace {

#define NATIVE(name) Value name(Vm& vm, const Value& self, Value* args, int argc)
#define UNUSED (void)vm, (void)self, (void)args, (void)argc

Value HostSetting(Vm& vm, const char* name) {
    return vm.Get(Value::Obj(StageObject(vm)), name);
}

NATIVE(OutOfSequence) {
    UNUSED;
    return vm.ThrowError("Error", 2037,
                         "Error #2037: Functions called in incorrect sequence, or earlier call "
                         "was unsuccessful.");
}

// ---- Security ----
NATIVE(SandboxType) {
    UNUSED;
    return Value::Str(ToBoolean(HostSetting(vm, "__useNetwork")) ? "localWithNetwork"
                                                                 : "localWithFile");
}

// ---- ExternalInterface ----
NATIVE(NoContainer) {
    UNUSED;
    return vm.ThrowError("Error", 2067,
                         "Error #2067: The ExternalInterface is not available in this container. "
                         "ExternalInterface requires Internet Explorer ActiveX, Firefox, Mozilla "
                         "1.7.5 and greater, or other browsers that support NPRuntime.");
}

// ---- SharedObject: one per name, kept in memory ----
NATIVE(GetLocal) {
    UNUSED;
    const std::string key = "__local " + vm.ToString(Arg(args, argc, 0));
    ClassInfo* c = vm.Builtin("SharedObject");
    if (!c->object->dyn)
        c->object->dyn.reset(new DynProps);
    if (Value* known = c->object->dyn->Find(key))
        return *known;
    if (c->object->dyn->live >= 1000)
        return Value::Null();
    const Value so = vm.ConstructClass(c, nullptr, 0);
    if (vm.throwing())
        return Value();
    vm.Set(so, "data", Value::Obj(vm.NewObject()));
    c->object->dyn->Set(key, so, false);
    return so;
}
NATIVE(SharedObjectFlush) {
    UNUSED;
    return Value::Str("flushed");
}
NATIVE(SharedObjectClear) {
    UNUSED;
    vm.Set(self, "data", Value::Obj(vm.NewObject()));
    return Value();
}
NATIVE(SharedObjectSetProperty) {
    UNUSED;
    vm.Set(vm.Get(self, "data"), vm.ToString(Arg(args, argc, 0)), Arg(args, argc, 1));
    return Value();
}

// ---- FileReference and FileFilter ----
// No dialog can open: the browse is cancelled at once.
NATIVE(Browse) {
    UNUSED;
    if (self.IsObject())
        DispatchSimple(vm, self.o, "cancel", false);
    return Value::Bool(true);
}
NATIVE(FileFilterCtor) {
    UNUSED;
    vm.Set(self, "description", Value::Str(vm.ToString(Arg(args, argc, 0))));
    vm.Set(self, "extension", Value::Str(vm.ToString(Arg(args, argc, 1))));
    vm.Set(self, "macType",
           argc > 2 && !args[2].IsNullish() ? Value::Str(vm.ToString(args[2])) : Value::Null());
    return Value();
}

// ---- URLRequest ----
NATIVE(UrlRequestCtor) {
    UNUSED;
    vm.Set(self, "url",
           argc > 0 && !args[0].IsNullish() ? Value::Str(vm.ToString(args[0])) : Value::Null());
    vm.Set(self, "__method", Value::Str("GET"));
    return Value();
}
NATIVE(UrlRequestMethod) {
    UNUSED;
    return vm.Get(self, "__method");
}
NATIVE(UrlRequestSetMethod) {
    UNUSED;
    const std::string m = vm.ToString(Arg(args, argc, 0));
    if (m != "GET" && m != "get" && m != "POST" && m != "post")
        return vm.ThrowError("ArgumentError", 2008,
                             "Error #2008: Parameter method must be one of the accepted values.");
    vm.Set(self, "__method", Value::Str(m));
    return Value();
}

NATIVE(PrintJobOptionsCtor) {
    UNUSED;
    vm.Set(self, "printAsBitmap", Value::Bool(ToBoolean(Arg(args, argc, 0))));
    return Value();
}

NATIVE(PlainCtor) {
    UNUSED;
    return Value();
}

// ---- LoaderInfo of the movie, a local file read whole ----
NATIVE(FileBytes) {
    UNUSED;
    return HostSetting(vm, "__fileBytes");
}
NATIVE(Content) {
    UNUSED;
    DisplayData* stage = DisplayOf(Value::Obj(StageObject(vm)));
    return stage && !stage->children.empty() ? Value::Obj(stage->children[0]) : Value::Null();
}
NATIVE(ContentType) {
    UNUSED;
    return Value::Str("application/x-shockwave-flash");
}
NATIVE(Three) {
    UNUSED;
    return Value::Num(3);
}
NATIVE(Url) {
    UNUSED;
    return Value::Str("file:///movie.swf");
}
NATIVE(Parameters) {
    UNUSED;
    return Value::Obj(vm.NewObject());
}
NATIVE(SharedEvents) {
    UNUSED;
    Value v = vm.Get(self, "__sharedEvents");
    if (!v.IsObject()) {
        v = vm.ConstructClass(vm.Builtin("EventDispatcher"), nullptr, 0);
        vm.Set(self, "__sharedEvents", v);
    }
    return v;
}
#define SETTING(name, key)                                                                         \
    NATIVE(name) {                                                                                 \
        UNUSED;                                                                                    \
        return HostSetting(vm, key);                                                               \
    }
SETTING(MovieWidth, "__width")
SETTING(MovieHeight, "__height")
SETTING(MovieFrameRate, "__frameRate")
SETTING(MovieSwfVersion, "__swfVersion")

// A Loader's own LoaderInfo, which never loads anything offline, refuses what only a loaded
// movie can tell.
bool IsMovieInfo(Vm& vm, const Value& self) {
    return self.IsObject() && MovieLoaderInfo(vm, Value(), nullptr, 0).o == self.o;
}
#define LOADED(name, inner)                                                                        \
    NATIVE(name) {                                                                                 \
        UNUSED;                                                                                    \
        if (!IsMovieInfo(vm, self))                                                                \
            return vm.ThrowError("Error", 2099,                                                    \
                                 "Error #2099: The loading object is not sufficiently loaded to "  \
                                 "provide this information.");                                     \
        return inner(vm, self, args, argc);                                                        \
    }
LOADED(LoadedVersion, Three)
LOADED(LoadedChildAllows, answer::True)
LOADED(LoadedParentAllows, answer::True)
LOADED(LoadedSameDomain, answer::True)
LOADED(LoadedFrameRate, MovieFrameRate)
LOADED(LoadedWidth, MovieWidth)
LOADED(LoadedHeight, MovieHeight)
LOADED(LoadedSwfVersion, MovieSwfVersion)
NATIVE(LoadedBytes) {
    UNUSED;
    return IsMovieInfo(vm, self) ? FileBytes(vm, self, args, argc) : Value::Num(0);
}
NATIVE(ContentLoaderInfo) {
    UNUSED;
    DisplayData* d = DisplayOf(self);
    if (!d)
        return Value::Null();
    if (!d->loaderInfo.IsObject())
        d->loaderInfo = vm.ConstructClass(vm.Builtin("LoaderInfo"), nullptr, 0);
    return d->loaderInfo;
}

// ---- ApplicationDomain: the movie's one domain ----
// A new object each time it is asked for, as Flash Player answers.
NATIVE(CurrentDomain) {
    UNUSED;
    return vm.ConstructClass(vm.Builtin("ApplicationDomain"), nullptr, 0);
}
NATIVE(DefinitionNames) {
    UNUSED;
    std::vector<Value> names;
    for (const std::string& n : vm.DefinitionNames())
        names.push_back(Value::Str(n));
    const Value v = vm.ConstructClass(vm.VectorOf(vm.stringClass), nullptr, 0);
    if (v.IsObject()) {
        vm.heap().Account(v.o, names.size() * sizeof(Value));
        v.o->elems = std::move(names);
    }
    return v;
}
NATIVE(HasDefinition) {
    UNUSED;
    const Value name = Arg(args, argc, 0);
    if (name.IsNullish())
        return Value::Bool(false);
    const Value v = vm.FindDefinition(vm.ToString(name));
    if (vm.throwing())
        vm.TakeThrown();
    return Value::Bool(!v.IsUndefined());
}
NATIVE(GetDefinition) {
    UNUSED;
    return vm.DefinitionOrError(vm.ToString(Arg(args, argc, 0)));
}

// ---- GameInput: no controllers attached ----
NATIVE(Zero) {
    UNUSED;
    return Value::Num(0);
}
NATIVE(NoDevice) {
    UNUSED;
    return vm.ThrowError("RangeError", 1506, "Error #1506: The specified range is invalid.");
}
NATIVE(NotMadeByScript) {
    UNUSED;
    return vm.ThrowError("ArgumentError", 2012,
                         "Error #2012: " + self.o->cls->name + "$ class cannot be instantiated.");
}

// What the scripts' heap holds, as System's memory figures.
NATIVE(HeapBytes) {
    UNUSED;
    return Value::Num(double(vm.heap().Used()));
}

} // namespace

Value MovieLoaderInfo(Vm& vm, const Value& self, Value* args, int argc) {
    UNUSED;
    const Value stage = Value::Obj(StageObject(vm));
    Value v = vm.Get(stage, "__loaderInfo");
    if (!v.IsObject()) {
        v = vm.ConstructClass(vm.Builtin("LoaderInfo"), nullptr, 0);
        vm.Set(stage, "__loaderInfo", v);
    }
    return v;
}

void InstallOffline(Vm& vm, ClassInfo* dispatcher) {
    ClassInfo* object = vm.objectClass;
    ClassInfo* access =
        vm.DefineClass("flash.accessibility", "Accessibility", object, Kind::Plain, nullptr);
    static const Native accessNatives[] = {StaticAccessor("active", answer::False),
                                           StaticFn("updateProperties", answer::Nothing)};
    vm.AddNatives(access, accessNatives);

    ClassInfo* security = vm.DefineClass("flash.system", "Security", object, Kind::Plain, nullptr);
    vm.AddGetter(security, "sandboxType", SandboxType, nullptr, true);
    for (const char* m : {"allowDomain", "allowInsecureDomain", "loadPolicyFile", "showSettings"})
        vm.AddMethod(security, m, answer::Nothing, true);
    const char* sandboxes[][2] = {{"REMOTE", "remote"},
                                  {"LOCAL_WITH_FILE", "localWithFile"},
                                  {"LOCAL_WITH_NETWORK", "localWithNetwork"},
                                  {"LOCAL_TRUSTED", "localTrusted"},
                                  {"APPLICATION", "application"}};
    for (const auto& s : sandboxes)
        vm.AddConstant(security, s[0], Value::Str(s[1]));

    ClassInfo* caps = vm.Builtin("Capabilities");
    // The screen Flash Player's recordings were made on; a saver has no other to tell.
    const std::pair<const char*, double> screen[] = {{"screenResolutionX", 1536},
                                                     {"screenResolutionY", 864},
                                                     {"pixelAspectRatio", 1},
                                                     {"screenDPI", 72}};
    for (const auto& s : screen)
        vm.AddConstant(caps, s.first, Value::Num(s.second));

    ClassInfo* external =
        vm.DefineClass("flash.external", "ExternalInterface", object, Kind::Plain, nullptr);
    static const Native externalNatives[] = {
        StaticAccessor("available", answer::False),
        StaticAccessor("objectID", answer::Null),
        StaticFn("call", NoContainer),
        StaticFn("addCallback", NoContainer),
    };
    vm.AddNatives(external, externalNatives);
    vm.AddConstant(external, "marshallExceptions", Value::Bool(false));

    ClassInfo* so =
        vm.DefineClass("flash.net", "SharedObject", dispatcher, Kind::Dispatcher, PlainCtor);
    so->sealed = false;
    static const Native soNatives[] = {
        StaticFn("getLocal", GetLocal), StaticFn("getRemote", answer::Null),
        Fn("flush", SharedObjectFlush), Fn("clear", SharedObjectClear),
        Fn("close", answer::Nothing),   Fn("setProperty", SharedObjectSetProperty),
    };
    vm.AddNatives(so, soNatives);

    ClassInfo* file =
        vm.DefineClass("flash.net", "FileReference", dispatcher, Kind::Dispatcher, PlainCtor);
    for (const char* p : {"creationDate", "modificationDate", "name", "size", "type"})
        vm.AddGetter(file, p, OutOfSequence);
    static const Native fileNatives[] = {
        Accessor("creator", answer::Null),
        Accessor("data", answer::Null),
        Fn("browse", Browse),
    };
    vm.AddNatives(file, fileNatives);
    for (const char* m : {"load", "save", "download", "upload"})
        vm.AddMethod(file, m, OutOfSequence);
    vm.AddMethod(file, "cancel", answer::Nothing);
    vm.DefineClass("flash.net", "FileFilter", object, Kind::Plain, FileFilterCtor)->sealed = false;

    ClassInfo* request =
        vm.DefineClass("flash.net", "URLRequest", object, Kind::Plain, UrlRequestCtor);
    request->sealed = false;
    vm.AddGetter(request, "method", UrlRequestMethod, UrlRequestSetMethod);

    ClassInfo* info =
        vm.DefineClass("flash.display", "LoaderInfo", dispatcher, Kind::Dispatcher, PlainCtor);
    info->sealed = false;
    static const struct {
        const char* name;
        NativeFn get;
    } infoProps[] = {{"bytesLoaded", LoadedBytes},
                     {"bytesTotal", LoadedBytes},
                     {"content", Content},
                     {"contentType", ContentType},
                     {"actionScriptVersion", LoadedVersion},
                     {"frameRate", LoadedFrameRate},
                     {"width", LoadedWidth},
                     {"height", LoadedHeight},
                     {"swfVersion", LoadedSwfVersion},
                     {"url", Url},
                     {"loaderURL", Url},
                     {"loader", answer::Null},
                     {"applicationDomain", CurrentDomain},
                     {"parameters", Parameters},
                     {"sharedEvents", SharedEvents},
                     {"isURLInaccessible", answer::False},
                     {"childAllowsParent", LoadedChildAllows},
                     {"parentAllowsChild", LoadedParentAllows},
                     {"sameDomain", LoadedSameDomain}};
    for (const auto& p : infoProps)
        vm.AddGetter(info, p.name, p.get);

    ClassInfo* domain =
        vm.DefineClass("flash.system", "ApplicationDomain", object, Kind::Plain, PlainCtor);
    static const Native domainNatives[] = {
        StaticAccessor("currentDomain", CurrentDomain),
        Fn("hasDefinition", HasDefinition),
        Fn("getQualifiedDefinitionNames", DefinitionNames),
        Fn("getDefinition", GetDefinition),
        Accessor("parentDomain", answer::Null),
        Accessor("domainMemory", answer::Null, answer::Nothing),
    };
    vm.AddNatives(domain, domainNatives);

    ClassInfo* game =
        vm.DefineClass("flash.ui", "GameInput", dispatcher, Kind::Dispatcher, PlainCtor);
    static const Native gameNatives[] = {
        StaticAccessor("numDevices", Zero),
        StaticAccessor("isSupported", answer::True),
        StaticFn("getDeviceAt", NoDevice),
    };
    vm.AddNatives(game, gameNatives);
    for (const char* n : {"GameInputControl", "GameInputDevice"})
        vm.DefineClass("flash.ui", n, dispatcher, Kind::Dispatcher, NotMadeByScript);

    vm.DefineClass("flash.printing", "PrintJobOptions", object, Kind::Plain, PrintJobOptionsCtor)
        ->sealed = false;

    vm.AddGetter(vm.Builtin("Loader"), "contentLoaderInfo", ContentLoaderInfo);

    // What a movie tells its container: nobody listens to a saver.
    vm.DefineFunction("flash.system", "fscommand", answer::Nothing);

    // The heap is collected between frames anyway; a saver does not exit, pause or copy.
    ClassInfo* system = vm.DefineClass("flash.system", "System", object, Kind::Plain, nullptr);
    static const char* const nothing[] = {"gc",
                                          "pause",
                                          "resume",
                                          "exit",
                                          "setClipboard",
                                          "disposeXML",
                                          "pauseForGCIfCollectionImminent"};
    for (const char* m : nothing)
        vm.AddMethod(system, m, answer::Nothing, true);
    for (const char* p : {"totalMemory", "totalMemoryNumber", "privateMemory"})
        vm.AddGetter(system, p, HeapBytes, nullptr, true);
    static const Native systemNatives[] = {
        StaticAccessor("freeMemory", Zero),
        StaticAccessor("ime", answer::Null),
        StaticAccessor("useCodePage", answer::False, answer::Nothing),
    };
    vm.AddNatives(system, systemNatives);
}

} // namespace avm2
