// The stack machine. Each action family has its own handler; a table built once maps every
// opcode to its handler. With, Try and function bodies run as nested ranges of the same
// block, so every jump is checked against the range it runs in and nothing is read outside
// the decoded list.
#include <cmath>

#include "player/core/avm1/frame.h"
#include "player/core/avm1/vm.h"
#include "player/core/swf/utf8.h"

namespace avm1 {

namespace {
constexpr uint32_t kStopped = 0xFFFFFFFEu;
// What a navigation costs against the frame's budget, in Work units (bytes).
constexpr size_t kNavigationWork = 1024;

// Characters [index, index+count) of s, counted as bytes or as UTF-8 characters.
std::string Extract(const std::string& s, double index, double count, bool multibyte) {
    if (std::isnan(index) || std::isnan(count) || count <= 0)
        return "";
    size_t start = index < 1 ? 0 : size_t(std::min(index, 1e9)) - 1;
    size_t n = size_t(std::min(count, 1e9));
    if (!multibyte)
        return start >= s.size() ? "" : s.substr(start, n);
    const size_t from = swf::Utf8Offset(s, start);
    return s.substr(from, swf::Utf8Offset(s, n, from) - from);
}
} // namespace

// One running range: the frame, the range's bounds and the handlers of each action family.
// Every handler returns the next instruction, or kStopped.
struct Interp {
    Vm& vm;
    Vm::Frame& f;
    const uint32_t lo, hi;
    const int ver;
    std::vector<Value> args;

    using Handler = uint32_t (Interp::*)(const Instruction&, uint32_t pc);

    Interp(Vm& v, Vm::Frame& fr, uint32_t l, uint32_t h)
        : vm(v), f(fr), lo(l), hi(h), ver(v.version_) {}

    Value Pop() {
        if (vm.stack_.size() <= f.stackBase)
            return Value();
        Value v = std::move(vm.stack_.back());
        vm.stack_.pop_back();
        return v;
    }
    void Push(Value v) {
        if (vm.stack_.size() >= vm.limits_.maxStack) {
            vm.Abort(RunResult::OutOfMemory);
            return;
        }
        vm.stack_.push_back(std::move(v));
    }
    double Num(const Value& v) { return vm.ToNumber(v); }
    double PopNum() { return vm.ToNumber(Pop()); }
    // A property index is truncated toward zero (-0.8 names _x) and never read as hex.
    double PropertyIndex(const Value& v) {
        if (v.IsString() && v.s.get().find_first_of("xX") != std::string::npos)
            return std::nan("");
        return std::trunc(vm.ToNumber(v));
    }
    std::string PopString() { return vm.ToString(Pop()); }
    Value Boolean(bool b) const { return ver >= 5 ? MakeBool(b) : MakeNum(b ? 1 : 0); }
    // The argument count and then that many arguments, as calls and InitArray pop them.
    void PopArgs() {
        double count = PopNum();
        size_t avail = vm.stack_.size() - f.stackBase;
        size_t n = count > 0 ? size_t(std::min(count, double(avail))) : 0;
        args.clear();
        args.reserve(n);
        for (size_t i = 0; i < n; i++)
            args.push_back(Pop());
    }
    ClipId TargetClip(const Value& path) {
        if (path.IsObject())
            return vm.ClipOf(path);
        std::string p = vm.ToString(path);
        Object* o = p.empty() ? f.target : vm.ResolveTarget(f.target, p);
        return o ? vm.ClipOf(Value::Obj(o)) : 0;
    }
    ClipId CurrentClip() const { return f.target ? vm.ClipOf(Value::Obj(f.target)) : 0; }
    void Navigate(Navigation nav, int frame = 0, const std::string& label = "") {
        ClipId c = CurrentClip();
        if (c && vm.display_)
            vm.display_->Navigate(c, nav, frame, label);
    }
    Object* LocalScope() const {
        Object* where = f.activation ? f.activation : f.target;
        return where ? where : vm.global_;
    }

    // Defines a variable (or, with `keep`, only declares it). On a timeline a name with a
    // path ("/:a", "/clip/:a", "_root.a") defines it where the path leads, as setting it
    // would; inside a function every name is a local, path or not.
    void DefineVariable(const std::string& name, const Value& v, bool keep) {
        Object* where = LocalScope();
        std::string leaf = name;
        const size_t colon = name.rfind(':'), dot = name.rfind('.');
        if (!f.activation && colon != std::string::npos) {
            where = vm.ResolveTarget(f.target, name.substr(0, colon));
            leaf = name.substr(colon + 1);
        } else if (!f.activation && name.find('/') != std::string::npos) {
            return; // a path to a clip names no variable
        } else if (!f.activation && dot != std::string::npos && dot > 0) {
            const Value owner = vm.GetVariable(f, name.substr(0, dot));
            where = owner.IsObject() ? owner.o : nullptr;
            leaf = name.substr(dot + 1);
        }
        if (where != nullptr && (!keep || !where->Find(leaf, vm.caseSensitive())))
            vm.Set(Value::Obj(where), leaf, v);
    }

    uint32_t Timeline(const Instruction& ins, uint32_t pc);
    uint32_t GotoFrame2(const Instruction& ins, uint32_t pc);
    uint32_t Network(const Instruction& ins, uint32_t pc);
    uint32_t SetTarget(const Instruction& ins, uint32_t pc);
    uint32_t Arithmetic(const Instruction& ins, uint32_t pc);
    uint32_t Bitwise(const Instruction& ins, uint32_t pc);
    uint32_t Compare(const Instruction& ins, uint32_t pc);
    uint32_t Strings(const Instruction& ins, uint32_t pc);
    uint32_t Stack(const Instruction& ins, uint32_t pc);
    uint32_t Variables(const Instruction& ins, uint32_t pc);
    uint32_t Objects(const Instruction& ins, uint32_t pc);
    uint32_t Calls(const Instruction& ins, uint32_t pc);
    uint32_t DefineFunction(const Instruction& ins, uint32_t pc);
    uint32_t Display(const Instruction& ins, uint32_t pc);
    uint32_t Branch(const Instruction& ins, uint32_t pc);
    uint32_t With(const Instruction& ins, uint32_t pc);
    uint32_t Try(const Instruction& ins, uint32_t pc);
    uint32_t Skip(const Instruction&, uint32_t pc) { return pc + 1; }

    static const Handler* Table();
    uint32_t Run(uint32_t pc);
};

const Interp::Handler* Interp::Table() {
    static const auto table = [] {
        struct Entry {
            std::initializer_list<uint8_t> ops;
            Handler h;
        };
        static Handler t[256];
        for (Handler& h : t)
            h = &Interp::Skip; // unknown actions are skipped, as Flash does
        static const Entry entries[] = {
            {{kNextFrame, kPrevFrame, kPlay, kStop, kGotoFrame, kGoToLabel, kWaitForFrame,
              kWaitForFrame2, kCall, kStopSounds},
             &Interp::Timeline},
            {{kGotoFrame2}, &Interp::GotoFrame2},
            {{kGetURL, kGetURL2}, &Interp::Network},
            {{kSetTarget, kSetTarget2}, &Interp::SetTarget},
            {{kAdd, kSubtract, kMultiply, kDivide, kModulo, kIncrement, kDecrement, kToInteger,
              kToNumber, kToString, kAdd2, kRandomNumber, kGetTime},
             &Interp::Arithmetic},
            {{kBitAnd, kBitOr, kBitXor, kBitLShift, kBitRShift, kBitURShift}, &Interp::Bitwise},
            {{kEquals, kLess, kAnd, kOr, kNot, kLess2, kGreater, kEquals2, kStrictEquals},
             &Interp::Compare},
            {{kStringEquals, kStringLess, kStringGreater, kStringLength, kMBStringLength,
              kStringExtract, kMBStringExtract, kStringAdd, kCharToAscii, kMBCharToAscii,
              kAsciiToChar, kMBAsciiToChar},
             &Interp::Strings},
            {{kPush, kPop, kPushDuplicate, kStackSwap, kStoreRegister, kConstantPool},
             &Interp::Stack},
            {{kGetVariable, kSetVariable, kDefineLocal, kDefineLocal2, kDelete, kDelete2,
              kGetMember, kSetMember},
             &Interp::Variables},
            {{kInitArray, kInitObject, kTypeOf, kEnumerate, kEnumerate2, kInstanceOf, kCastOp,
              kImplementsOp, kExtends},
             &Interp::Objects},
            {{kCallFunction, kCallMethod, kNewObject, kNewMethod, kReturn, kThrow}, &Interp::Calls},
            {{kDefineFunction, kDefineFunction2}, &Interp::DefineFunction},
            {{kGetProperty, kSetProperty, kCloneSprite, kRemoveSprite, kTrace, kStartDrag,
              kTargetPath},
             &Interp::Display},
            {{kJump, kIf}, &Interp::Branch},
            {{kWith}, &Interp::With},
            {{kTry}, &Interp::Try},
        };
        for (const Entry& e : entries)
            for (uint8_t op : e.ops)
                t[op] = e.h;
        return t;
    }();
    return table;
}

uint32_t Interp::Run(uint32_t pc) {
    const std::vector<Instruction>& code = f.block->code;
    const Handler* table = Table();
    while (pc >= lo && pc < hi) {
        if (vm.abort_ != RunResult::Done || vm.throwing_)
            return kStopped;
        ++vm.totalInstructions_;
        // The clock is read every 1024 instructions only.
        if ((++vm.budgetUsed_ & 1023) == 0 || vm.budgetUsed_ > vm.limits_.instructionsPerFrame) {
            if (!vm.Budget())
                return kStopped;
        }
        const Instruction& ins = code[pc];
        const uint32_t next = (this->*table[ins.op])(ins, pc);
        if (next == kStopped)
            return kStopped;
        if (next == kNoTarget) {
            vm.Abort(RunResult::Malformed);
            vm.Notice("script stopped: a jump lands inside an action");
            return kStopped;
        }
        pc = next;
    }
    return pc;
}

uint32_t Vm::RunRange(Frame& f, uint32_t pc, uint32_t lo, uint32_t hi) {
    Interp in(*this, f, lo, hi);
    return in.Run(pc);
}

// ---- timeline, network and targets ----

namespace {
const uint32_t kLastFrameIndex = 16000; // Flash's cap on a timeline's frames
} // namespace

uint32_t Interp::Timeline(const Instruction& ins, uint32_t pc) {
    vm.Work(kNavigationWork); // a goto may run a frame's actions: it costs more than one step
    switch (ins.op) {
    case kNextFrame:
        Navigate(Navigation::NextFrame);
        break;
    case kPrevFrame:
        Navigate(Navigation::PrevFrame);
        break;
    case kPlay:
        Navigate(Navigation::Play);
        break;
    case kStop:
        Navigate(Navigation::Stop);
        break;
    case kStopSounds:
        if (vm.sound())
            vm.sound()->StopSounds(0, 0);
        break;
    case kGotoFrame:
        Navigate(Navigation::GotoFrame, int(ins.a) + 1);
        Navigate(Navigation::Stop);
        break;
    case kGoToLabel:
        Navigate(Navigation::GotoLabel, 0, ins.s1);
        Navigate(Navigation::Stop);
        break;
    case kWaitForFrame:
        // Every frame of an in-memory movie is loaded, but none past the format's last
        // frame: there the next actions are skipped.
        if (ins.a > kLastFrameIndex)
            return std::min(pc + 1 + ins.b, hi);
        break;
    case kWaitForFrame2:
        Pop();
        break;
    case kCall:
        Pop(); // running another frame's actions is the timeline's business; not supported
        break;
    }
    return pc + 1;
}

uint32_t Interp::GotoFrame2(const Instruction& ins, uint32_t pc) {
    vm.Work(kNavigationWork);
    Value frame = Pop();
    ClipId c = CurrentClip();
    DisplayBridge* d = vm.display_;
    if (frame.IsString()) {
        std::string s = frame.s;
        size_t colon = s.rfind(':');
        if (colon != std::string::npos) {
            Object* o = vm.ResolveTarget(f.target, s.substr(0, colon));
            c = o ? vm.ClipOf(Value::Obj(o)) : 0;
            s = s.substr(colon + 1);
        }
        double n = StringToNumber(s, ver);
        if (c && d) {
            if (std::isnan(n))
                d->Navigate(c, Navigation::GotoLabel, 0, s);
            else
                d->Navigate(c, Navigation::GotoFrame, ClampInt(std::min(n, 1e9)) + int(ins.b), "");
        }
    } else if (c && d) {
        double n = Num(frame);
        if (std::isfinite(n))
            d->Navigate(c, Navigation::GotoFrame,
                        int(std::max(-1e9, std::min(n, 1e9))) + int(ins.b), "");
    }
    if (c && d)
        d->Navigate(c, (ins.a & 1) ? Navigation::Play : Navigation::Stop, 0, "");
    return pc + 1;
}

uint32_t Interp::Network(const Instruction& ins, uint32_t pc) {
    if (ins.op == kGetURL) {
        if (ins.s1.compare(0, 10, "FSCommand:") == 0)
            vm.Notice("fscommand ignored: " + ins.s1.substr(10) + " " + ins.s2);
        else
            vm.Notice("getURL blocked: " + ins.s1 + " (" + ins.s2 + ")");
        return pc + 1;
    }
    Value target = Pop(), url = Pop();
    std::string u = vm.ToString(url);
    if (u.compare(0, 10, "FSCommand:") == 0)
        vm.Notice("fscommand ignored: " + u.substr(10));
    else if (ins.a & 0x80)
        vm.Notice("loadVariables blocked: " + u);
    else if ((ins.a & 0x40) || vm.ToString(target).compare(0, 6, "_level") == 0)
        vm.Notice("loadMovie blocked: " + u);
    else
        vm.Notice("getURL blocked: " + u + " (" + vm.ToString(target) + ")");
    return pc + 1;
}

uint32_t Interp::SetTarget(const Instruction& ins, uint32_t pc) {
    Object* t;
    if (ins.op == kSetTarget) {
        t = ins.s1.empty() ? f.origTarget : vm.ResolveTarget(f.origTarget, ins.s1);
    } else {
        Value v = Pop();
        if (v.IsObject()) {
            t = v.o;
        } else {
            std::string p = vm.ToString(v);
            t = p.empty() ? f.origTarget : vm.ResolveTarget(f.origTarget, p);
        }
    }
    f.target = t;
    if (!f.activation && !f.scope.empty())
        f.scope[0] = t ? t : f.origTarget;
    return pc + 1;
}

// ---- numbers ----

uint32_t Interp::Arithmetic(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kAdd2: {
        Value b = Pop(), a = Pop();
        Push(vm.Add(a, b));
        return pc + 1;
    }
    case kIncrement:
        Push(MakeNum(PopNum() + 1));
        return pc + 1;
    case kDecrement:
        Push(MakeNum(PopNum() - 1));
        return pc + 1;
    case kToInteger: {
        double d = PopNum();
        Push(MakeNum(std::isfinite(d) ? std::trunc(d) : (std::isnan(d) ? 0 : d)));
        return pc + 1;
    }
    case kToNumber:
        Push(MakeNum(PopNum()));
        return pc + 1;
    case kToString:
        Push(Value::Str(PopString()));
        return pc + 1;
    case kRandomNumber: {
        double max = PopNum();
        Push(MakeNum(max > 0 ? std::floor(vm.Random() * std::floor(max)) : 0));
        return pc + 1;
    }
    case kGetTime:
        Push(MakeNum(std::floor(vm.Now())));
        return pc + 1;
    }
    // Both are popped before either converts: a's valueOf runs first.
    Value vb = Pop(), va = Pop();
    double a = Num(va), b = Num(vb);
    switch (ins.op) {
    case kAdd:
        Push(MakeNum(a + b));
        break;
    case kSubtract:
        Push(MakeNum(a - b));
        break;
    case kMultiply:
        Push(MakeNum(a * b));
        break;
    case kDivide:
        if (b == 0 && ver < 5)
            Push(Value::Str("#ERROR#"));
        else
            Push(MakeNum(a / b));
        break;
    case kModulo:
        Push(MakeNum(std::fmod(a, b)));
        break;
    }
    return pc + 1;
}

uint32_t Interp::Bitwise(const Instruction& ins, uint32_t pc) {
    Value vb = Pop(), va = Pop();
    double a = Num(va), b = Num(vb);
    int32_t x = ToInt32(a), y = ToInt32(b);
    double r = 0;
    switch (ins.op) {
    case kBitAnd:
        r = double(x & y);
        break;
    case kBitOr:
        r = double(x | y);
        break;
    case kBitXor:
        r = double(x ^ y);
        break;
    case kBitLShift:
        r = double(int32_t(uint32_t(x) << (y & 31)));
        break;
    case kBitRShift:
        r = double(x >> (y & 31));
        break;
    default:
        r = double(ToUint32(a) >> (y & 31));
        break;
    }
    Push(MakeNum(r));
    return pc + 1;
}

uint32_t Interp::Compare(const Instruction& ins, uint32_t pc) {
    if (ins.op == kNot) {
        Push(Boolean(!ToBoolean(Pop(), ver)));
        return pc + 1;
    }
    Value b = Pop(), a = Pop();
    switch (ins.op) {
    case kEquals:
        Push(Boolean(Num(a) == Num(b)));
        break;
    case kLess:
        Push(Boolean(Num(a) < Num(b)));
        break;
    case kAnd:
        Push(Boolean(ToBoolean(a, ver) && ToBoolean(b, ver)));
        break;
    case kOr:
        Push(Boolean(ToBoolean(a, ver) || ToBoolean(b, ver)));
        break;
    case kLess2:
        Push(vm.Less(a, b));
        break;
    case kGreater:
        Push(vm.Less(b, a));
        break;
    case kEquals2:
        Push(MakeBool(vm.Equals(a, b)));
        break;
    case kStrictEquals:
        Push(MakeBool(vm.StrictEquals(a, b)));
        break;
    }
    return pc + 1;
}

// ---- strings ----

uint32_t Interp::Strings(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kStringEquals:
    case kStringLess:
    case kStringGreater:
    case kStringAdd: {
        std::string b = PopString(), a = PopString();
        if (ins.op == kStringEquals)
            Push(Boolean(a == b));
        else if (ins.op == kStringLess)
            Push(Boolean(a < b));
        else if (ins.op == kStringGreater)
            Push(Boolean(a > b));
        else if (vm.StringFits(a.size() + b.size()))
            Push(Value::Str(a + b));
        break;
    }
    case kStringLength:
        Push(MakeNum(double(PopString().size())));
        break;
    case kMBStringLength:
        Push(MakeNum(double(swf::Utf8Length(PopString()))));
        break;
    case kStringExtract:
    case kMBStringExtract: {
        double count = PopNum(), index = PopNum();
        std::string s = PopString();
        Push(Value::Str(Extract(s, index, count, ins.op == kMBStringExtract)));
        break;
    }
    case kCharToAscii: {
        std::string s = PopString();
        Push(MakeNum(s.empty() ? 0 : double(static_cast<unsigned char>(s[0]))));
        break;
    }
    case kMBCharToAscii: {
        std::string s = PopString();
        size_t i = 0;
        Push(MakeNum(s.empty() ? 0 : double(swf::Utf8Next(s, i))));
        break;
    }
    case kAsciiToChar: {
        uint32_t c = ToUint32(PopNum()) & 0xFF;
        Push(Value::Str(ver >= 6 ? swf::Utf8Encode(c) : std::string(1, char(c))));
        break;
    }
    case kMBAsciiToChar:
        Push(Value::Str(swf::Utf8Encode(ToUint32(PopNum()) & 0xFFFF)));
        break;
    }
    return pc + 1;
}

// ---- stack, registers, variables and members ----

uint32_t Interp::Stack(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kPush:
        for (const PushItem& item : ins.push) {
            if (item.kind == PushItem::Literal)
                Push(item.value);
            else if (item.kind == PushItem::Register)
                Push(item.index < f.regs.size() ? f.regs[item.index] : Value());
            else
                Push(f.pool && item.index < f.pool->size() ? Value::Str((*f.pool)[item.index])
                                                           : Value());
        }
        break;
    case kPop:
        Pop();
        break;
    case kPushDuplicate: {
        Value v = Pop();
        Push(v);
        Push(std::move(v));
        break;
    }
    case kStackSwap: {
        Value b = Pop(), a = Pop();
        Push(std::move(b));
        Push(std::move(a));
        break;
    }
    case kStoreRegister:
        if (vm.stack_.size() > f.stackBase && ins.a < f.regs.size())
            f.regs[ins.a] = vm.stack_.back();
        break;
    case kConstantPool:
        f.pool = std::make_shared<const std::vector<std::string>>(ins.names);
        break;
    }
    return pc + 1;
}

uint32_t Interp::Variables(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kGetVariable:
        Push(vm.GetVariable(f, PopString()));
        break;
    case kSetVariable: {
        Value v = Pop();
        vm.SetVariable(f, PopString(), v);
        break;
    }
    case kDefineLocal:
    case kDefineLocal2: {
        Value v = ins.op == kDefineLocal ? Pop() : Value();
        std::string name = PopString();
        DefineVariable(name, v, ins.op == kDefineLocal2);
        break;
    }
    case kDelete: {
        std::string name = PopString();
        Value o = Pop();
        Push(Boolean(o.IsObject() && vm.Delete(o.o, name)));
        break;
    }
    case kDelete2: {
        std::string name = PopString();
        bool done = false, found = false;
        for (size_t i = f.scope.size(); i-- > 0 && !found;) {
            if (vm.HasProperty(f.scope[i], name)) {
                found = true;
                done = vm.Delete(f.scope[i], name);
            }
        }
        if (!found && vm.global_->Find(name, vm.caseSensitive()))
            done = vm.Delete(vm.global_, name);
        Push(Boolean(done));
        break;
    }
    case kGetMember: {
        Value name = Pop();
        Value o = Pop();
        Push(vm.Get(o, name.IsString() ? name.s.get() : vm.ToString(name)));
        break;
    }
    case kSetMember: {
        Value v = Pop();
        Value name = Pop();
        Value o = Pop();
        vm.Set(o, name.IsString() ? name.s.get() : vm.ToString(name), v);
        break;
    }
    }
    return pc + 1;
}

// ---- objects ----

uint32_t Interp::Objects(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kInitArray:
        PopArgs();
        Push(Value::Obj(vm.NewArray(args)));
        break;
    case kInitObject: {
        double count = PopNum();
        Object* o = vm.NewObject();
        for (double i = 0; i < count && vm.stack_.size() > f.stackBase + 1; i++) {
            Value v = Pop();
            vm.Set(Value::Obj(o), PopString(), v);
        }
        Push(Value::Obj(o));
        break;
    }
    case kTypeOf:
        Push(Value::Str(vm.TypeOf(Pop())));
        break;
    case kEnumerate:
    case kEnumerate2: {
        Value v = Pop();
        if (ins.op == kEnumerate)
            v = vm.GetVariable(f, vm.ToString(v));
        Push(Value::Null());
        if (v.IsObject())
            for (std::string& k : vm.Keys(v.o))
                Push(Value::Str(std::move(k)));
        break;
    }
    case kInstanceOf: {
        Value ctor = Pop(), o = Pop();
        Push(MakeBool(ctor.IsObject() && vm.InstanceOf(o, ctor.o)));
        break;
    }
    case kCastOp: {
        Value o = Pop(), ctor = Pop();
        Push(ctor.IsObject() && vm.InstanceOf(o, ctor.o) ? o : Value::Null());
        break;
    }
    case kImplementsOp: {
        Value ctor = Pop();
        PopArgs();
        Value proto = ctor.IsObject() ? vm.GetProp(ctor.o, "prototype") : Value();
        if (proto.IsObject())
            for (const Value& i : args)
                if (i.IsObject() && proto.o->interfaces.size() < 64)
                    proto.o->interfaces.push_back(i.o);
        break;
    }
    case kExtends: {
        Value super = Pop(), sub = Pop();
        if (!super.IsObject() || !sub.IsObject())
            break;
        Object* proto = vm.NewObject();
        Value superProto = vm.GetProp(super.o, "prototype");
        proto->proto = superProto.IsObject() ? superProto.o : nullptr;
        proto->Put("__constructor__", super, vm.caseSensitive(), kDontEnum);
        vm.Set(sub, "prototype", Value::Obj(proto));
        break;
    }
    }
    return pc + 1;
}

// ---- calls ----

uint32_t Interp::Calls(const Instruction& ins, uint32_t pc) {
    switch (ins.op) {
    case kCallFunction: {
        std::string name = PopString();
        PopArgs();
        Object* holder = nullptr;
        Value fn = vm.GetVariable(f, name, &holder);
        // A function found on a scope object (a function's locals, a with object) runs on it.
        Value self = holder ? Value::Obj(holder) : f.target ? Value::Obj(f.target) : Value();
        Push(vm.Call(fn, self, args.data(), args.size()));
        break;
    }
    case kCallMethod:
    case kNewMethod: {
        Value name = Pop();
        Value o = Pop();
        PopArgs();
        std::string method = name.IsNullish() ? "" : vm.ToString(name);
        if (ins.op == kNewMethod) {
            Value ctor = method.empty() ? o : vm.Get(o, method);
            Push(vm.Construct(ctor, args.data(), args.size()));
        } else if (method.empty() && !(o.IsObject() && o.o->kind == Kind::Super)) {
            Push(vm.Call(o, Value(), args.data(), args.size()));
        } else {
            Push(vm.CallMethod(o, method, args.data(), args.size()));
        }
        break;
    }
    case kNewObject: {
        std::string name = PopString();
        PopArgs();
        Push(vm.Construct(vm.GetVariable(f, name), args.data(), args.size()));
        break;
    }
    case kReturn:
        f.ret = Pop();
        return kStopped;
    case kThrow:
        vm.Throw(Pop());
        return kStopped;
    }
    return pc + 1;
}

uint32_t Interp::DefineFunction(const Instruction& ins, uint32_t pc) {
    Object* fn = vm.NewObject(Kind::Function);
    auto c = std::make_unique<FunctionCode>();
    c->block = f.block;
    c->begin = pc + 1;
    c->end = ins.a;
    c->params = ins.names;
    c->v2 = ins.op == kDefineFunction2;
    if (c->v2) {
        c->paramRegisters = ins.registers;
        c->flags = uint16_t(ins.b);
        c->registerCount = uint8_t(ins.c);
    }
    c->pool = f.pool;
    c->scope = f.scope;
    c->target = f.target;
    fn->code = std::move(c);
    Object* proto = vm.NewObject();
    proto->Put("constructor", Value::Obj(fn), false, kDontEnum);
    fn->Put("prototype", Value::Obj(proto), false, kDontEnum | kDontDelete);
    if (ins.s1.empty())
        Push(Value::Obj(fn));
    else
        DefineVariable(ins.s1, Value::Obj(fn), false);
    return ins.a;
}

// ---- the display list through the bridge ----

uint32_t Interp::Display(const Instruction& ins, uint32_t pc) {
    DisplayBridge* d = vm.display_;
    switch (ins.op) {
    case kGetProperty: {
        double index = PropertyIndex(Pop());
        ClipId c = TargetClip(Pop());
        if (index >= 0 && index < double(DisplayProp::Depth) && c)
            Push(vm.DisplayGet(c, int(index)));
        else
            Push(Value());
        break;
    }
    case kSetProperty: {
        Value v = Pop();
        double index = PropertyIndex(Pop());
        ClipId c = TargetClip(Pop());
        if (index >= 0 && index < double(DisplayProp::Depth) && c)
            vm.DisplaySet(c, int(index), v);
        break;
    }
    case kCloneSprite: {
        double depth = PopNum();
        std::string name = PopString();
        ClipId c = TargetClip(Pop());
        if (c && d && std::isfinite(depth))
            d->Duplicate(c, name, int(std::max(-1e9, std::min(depth, 1e9))) - 16384);
        break;
    }
    case kRemoveSprite: {
        ClipId c = TargetClip(Pop());
        if (c && d)
            d->Remove(c);
        break;
    }
    case kTrace: {
        Value v = Pop();
        vm.Emit(Channel::Trace, v.IsUndefined() ? "undefined" : vm.ToString(v));
        break;
    }
    case kStartDrag:
        Pop();
        Pop();
        if (ToBoolean(Pop(), ver))
            for (int i = 0; i < 4; i++)
                Pop();
        break;
    case kTargetPath: {
        Value v = Pop();
        Push(vm.ClipOf(v) ? Value::Str(vm.TargetPath(v.o)) : Value());
        break;
    }
    }
    return pc + 1;
}

// ---- control flow ----

uint32_t Interp::Branch(const Instruction& ins, uint32_t pc) {
    if (ins.op == kJump)
        return ins.a;
    return ToBoolean(Pop(), ver) ? ins.a : pc + 1;
}

uint32_t Interp::With(const Instruction& ins, uint32_t pc) {
    Value v = Pop();
    const uint32_t end = std::min(ins.a, hi);
    if (vm.depth_ >= vm.limits_.maxCallDepth) {
        vm.Abort(RunResult::TooDeep);
        return kStopped;
    }
    vm.depth_++;
    bool pushed = v.IsObject();
    if (pushed)
        f.scope.push_back(v.o);
    uint32_t r = vm.RunRange(f, pc + 1, pc + 1, end);
    if (pushed && !f.scope.empty())
        f.scope.pop_back();
    vm.depth_--;
    return r;
}

uint32_t Interp::Try(const Instruction& ins, uint32_t pc) {
    const uint32_t tryEnd = std::min(ins.a, hi), catchEnd = std::min(ins.b, hi),
                   finallyEnd = std::min(ins.c, hi);
    if (vm.depth_ >= vm.limits_.maxCallDepth) {
        vm.Abort(RunResult::TooDeep);
        return kStopped;
    }
    vm.depth_++;
    uint32_t r = vm.RunRange(f, pc + 1, pc + 1, tryEnd);
    if (vm.throwing_ && !vm.aborted() && (ins.tryFlags & 1)) {
        vm.throwing_ = false;
        Value e = vm.thrown_;
        if (ins.tryFlags & 4) {
            uint8_t reg = ins.registers.empty() ? 0 : ins.registers[0];
            if (reg < f.regs.size())
                f.regs[reg] = e;
        } else {
            vm.Set(Value::Obj(LocalScope()), ins.s1, e);
        }
        r = vm.RunRange(f, tryEnd, tryEnd, catchEnd);
    }
    if ((ins.tryFlags & 2) && !vm.aborted()) {
        bool wasThrowing = vm.throwing_;
        Value saved = vm.thrown_;
        Value savedRet = f.ret;
        vm.throwing_ = false;
        uint32_t r2 = vm.RunRange(f, catchEnd, catchEnd, finallyEnd);
        if (r2 == kStopped) {
            r = kStopped; // the finally block's own return or throw wins
        } else {
            vm.throwing_ = wasThrowing;
            vm.thrown_ = saved;
            f.ret = savedRet;
        }
    }
    vm.depth_--;
    if (r == kStopped || vm.throwing_)
        return kStopped;
    return (r == tryEnd || r == catchEnd) ? finallyEnd : r;
}

} // namespace avm1
