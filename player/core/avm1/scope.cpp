// Running a frame's actions or a function's body: registers, locals, `arguments` and
// `super`, the scope chain, and variable lookup with slash and dot paths.
#include <algorithm>

#include "player/core/avm1/frame.h"
#include "player/core/avm1/vm.h"
#include "player/core/swf/reserve.h"

namespace avm1 {
namespace {
bool IsPathName(const std::string& name) {
    return name.find(':') != std::string::npos || name.find('/') != std::string::npos;
}

} // namespace

// A script started by the host. One started from inside a bridge call while another runs
// (a facade running a frame's actions at once on gotoAndPlay) nests: it keeps the outer
// script's stack, depth and budget, and an uncaught throw stays inside it.
class Vm::Entry {
  public:
    explicit Entry(Vm& vm) : vm_(vm), nested_(vm.running_ > 0), base_(vm.stack_.size()) {
        if (!nested_) {
            vm.depth_ = 0;
            vm.abort_ = RunResult::Done;
            vm.throwing_ = false;
            vm.failuresAtEntry_ = memory::Failures();
            vm.stack_.clear();
            base_ = 0;
        }
        vm.running_++;
    }
    ~Entry() { vm_.running_--; }
    size_t base() const { return base_; }
    RunResult Finish() {
        RunResult r = vm_.abort_;
        if (r == RunResult::Done && vm_.throwing_) {
            r = RunResult::Thrown;
            vm_.Notice("uncaught exception: " + vm_.ToString(vm_.thrown_));
        }
        if (vm_.stack_.size() > base_)
            vm_.stack_.resize(base_);
        vm_.throwing_ = false;
        if (!nested_)
            vm_.abort_ = RunResult::Done;
        return r;
    }

  private:
    Vm& vm_;
    bool nested_;
    size_t base_;
};

RunResult Vm::Run(Object* clip, const std::shared_ptr<const ActionBlock>& block, uint32_t begin,
                  uint32_t end) {
    if (frameOver_)
        return RunResult::Abandoned;
    Entry entry(*this);
    Frame f;
    f.block = block;
    f.self = clip ? Value::Obj(clip) : Value();
    f.target = f.origTarget = clip;
    if (clip)
        f.scope.push_back(clip);
    f.regs.resize(4);
    f.stackBase = entry.base();
    RunRange(f, begin, begin, end);
    return entry.Finish();
}

RunResult Vm::CallFromHost(const Value& fn, const Value& self, const Value* args, size_t n,
                           Object* home) {
    Entry entry(*this);
    Call(fn, self, args, n, home);
    return entry.Finish();
}

Value Vm::CallScript(Object* fn, const Value& self, const Value* args, size_t n, Object* home) {
    const FunctionCode& c = *fn->code;
    Frame f;
    f.block = c.block;
    f.pool = c.pool;
    f.self = self;
    f.target = f.origTarget = c.target ? c.target : (self.IsObject() ? self.o : nullptr);
    f.home = home;
    f.scope = c.scope;
    if (version_ < 6) {
        // Flash 5 functions are not closures: they run on the timeline of the clip they are
        // called on, seeing only its variables and the globals.
        if (ClipOf(self))
            f.target = f.origTarget = self.o;
        f.scope.clear();
        if (f.target)
            f.scope.push_back(f.target);
    }
    Object* act = NewObject(Kind::Plain);
    act->proto = nullptr;
    f.activation = act;
    f.scope.push_back(act);
    if (aborted())
        return Value();
    const bool cs = caseSensitive();
    auto makeArguments = [&]() {
        Object* a = NewArray(std::vector<Value>(args, args + n));
        a->Put("callee", Value::Obj(fn), cs, kDontEnum);
        return Value::Obj(a);
    };
    auto makeSuper = [&]() {
        Object* s = NewObject(Kind::Super);
        s->proto = nullptr;
        s->superThis = self.IsObject() ? self.o : nullptr;
        s->superHome = home ? home : (self.IsObject() ? self.o->proto : nullptr);
        return Value::Obj(s);
    };
    if (c.v2) {
        f.regs.resize(c.registerCount);
        size_t r = 1;
        auto preload = [&](uint16_t flag, auto make) {
            if (c.flags & flag) {
                if (r < f.regs.size())
                    f.regs[r] = make();
                r++;
            }
        };
        // A suppressed `this` or `super` is not preloaded, though its register is taken.
        preload(0x01, [&] { return (c.flags & 0x02) ? Value() : self; });
        preload(0x04, makeArguments);
        preload(0x10, [&] { return (c.flags & 0x20) ? Value() : makeSuper(); });
        preload(0x40, [&] {
            Object* root = ClipObject(RootClip());
            return root ? Value::Obj(root) : Value();
        });
        preload(0x80, [&] {
            ClipId t = ClipOf(f.target ? Value::Obj(f.target) : Value());
            Object* p = t && display_ ? ClipObject(display_->Parent(t)) : nullptr;
            return p ? Value::Obj(p) : Value();
        });
        preload(0x100, [&] { return Value::Obj(global_); });
        f.thisByPath = (c.flags & 0x03) != 0;
        f.lazyArguments = !(c.flags & (0x04 | 0x08));
        f.lazySuper = !(c.flags & (0x10 | 0x20));
        for (size_t i = 0; i < c.params.size(); i++) {
            Value v = i < n ? args[i] : Value();
            uint8_t reg = i < c.paramRegisters.size() ? c.paramRegisters[i] : 0;
            if (reg) {
                if (reg < f.regs.size())
                    f.regs[reg] = v;
            } else {
                act->Put(c.params[i], v, cs);
            }
        }
    } else {
        f.regs.resize(4);
        f.lazyArguments = f.lazySuper = true;
        for (size_t i = 0; i < c.params.size(); i++)
            act->Put(c.params[i], i < n ? args[i] : Value(), cs);
    }
    f.args = args;
    f.argc = n;
    f.callee = fn;
    f.stackBase = stack_.size();
    // Functions came with Flash 5: their bodies follow its rules even in a Flash 4 movie.
    const int movieVersion = version_;
    version_ = std::max(version_, 5);
    constructing_.push_back(constructNext_);
    constructNext_ = false;
    RunRange(f, c.begin, c.begin, c.end);
    constructing_.pop_back();
    version_ = movieVersion;
    if (stack_.size() > f.stackBase)
        stack_.resize(f.stackBase);
    return f.ret;
}

Value Vm::GetVariable(Frame& f, const std::string& name, Object** holder) {
    if (IsPathName(name)) {
        size_t colon = name.rfind(':');
        if (colon == std::string::npos) {
            Object* o = ResolveTarget(f.target, name);
            return o ? Value::Obj(o) : Value();
        }
        Object* o = ResolveTarget(f.target, name.substr(0, colon));
        return o ? Get(Value::Obj(o), name.substr(colon + 1)) : Value();
    }
    const bool cs = caseSensitive();
    if (name.find('.') != std::string::npos && name[0] != '.') {
        size_t dot = name.find('.');
        Value v = GetVariable(f, name.substr(0, dot));
        size_t i = dot + 1;
        while (v.IsObject() && i <= name.size()) {
            size_t j = name.find('.', i);
            if (j == std::string::npos)
                j = name.size();
            v = Get(v, name.substr(i, j - i));
            i = j + 1;
        }
        return i > name.size() ? v : Value();
    }
    if (name == "this") {
        // Preloaded into a register or suppressed, `this` is no name: it reads as a path.
        if (f.thisByPath)
            return f.target ? Value::Obj(f.target) : Value();
        return f.self;
    }
    if (f.activation && (f.lazyArguments || f.lazySuper) && name.size() <= 9 &&
        !f.activation->Find(name, cs)) {
        if (f.lazyArguments && NameIs(name, "arguments", cs)) {
            Object* a = NewArray(std::vector<Value>(f.args, f.args + f.argc));
            a->Put("callee", Value::Obj(f.callee), cs, kDontEnum);
            f.activation->Put("arguments", Value::Obj(a), cs);
            return Value::Obj(a);
        }
        if (f.lazySuper && NameIs(name, "super", cs)) {
            Object* s = NewObject(Kind::Super);
            s->proto = nullptr;
            s->superThis = f.self.IsObject() ? f.self.o : nullptr;
            s->superHome = f.home ? f.home : (f.self.IsObject() ? f.self.o->proto : nullptr);
            f.activation->Put("super", Value::Obj(s), cs);
            return Value::Obj(s);
        }
    }
    for (size_t i = f.scope.size(); i-- > 0;) {
        Object* s = f.scope[i];
        if (HasProperty(s, name)) {
            if (holder)
                *holder = s;
            return Get(Value::Obj(s), name);
        }
    }
    if (f.target && (f.scope.empty() || f.target != f.scope[0]) && HasProperty(f.target, name))
        return Get(Value::Obj(f.target), name);
    if (NameIs(name, "_global", cs))
        return Value::Obj(global_);
    if (NameIs(name, "_root", false) || NameIs(name, "_level0", false)) {
        Object* root = ClipObject(RootClip());
        return root ? Value::Obj(root) : Value();
    }
    if (NameIs(name, "_parent", false) && f.target)
        return Get(Value::Obj(f.target), "_parent");
    Value out;
    Lookup(global_, name, Value::Obj(global_), out, nullptr);
    return out;
}

void Vm::SetVariable(Frame& f, const std::string& name, const Value& v) {
    if (IsPathName(name)) {
        size_t colon = name.rfind(':');
        if (colon == std::string::npos)
            return;
        Object* o = ResolveTarget(f.target, name.substr(0, colon));
        if (o)
            Set(Value::Obj(o), name.substr(colon + 1), v);
        return;
    }
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        Value o = GetVariable(f, name.substr(0, dot));
        Set(o, name.substr(dot + 1), v);
        return;
    }
    // The innermost scope that has the name takes it; otherwise the timeline does.
    for (size_t i = f.scope.size(); i-- > 1;) {
        if (HasProperty(f.scope[i], name)) {
            Set(Value::Obj(f.scope[i]), name, v);
            return;
        }
    }
    Object* base = f.target ? f.target : (f.scope.empty() ? global_ : f.scope[0]);
    Set(Value::Obj(base), name, v);
}

} // namespace avm1
