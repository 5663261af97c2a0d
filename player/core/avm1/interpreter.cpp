// The stack machine: one switch over decoded instructions. With, Try and function bodies
// run as nested ranges of the same block, so every jump is checked against the range it
// runs in and nothing is read outside the decoded list.
#include <cmath>

#include "player/core/avm1/frame.h"
#include "player/core/avm1/vm.h"

namespace avm1 {

namespace {
constexpr uint32_t kStopped = 0xFFFFFFFEu;

uint32_t Utf8Decode(const std::string& s, size_t& i) {
    unsigned char c = s[i++];
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); k++)
        cp = cp << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

std::string Utf8Encode(uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | ((cp >> 18) & 7));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    return out;
}

// Characters [index, index+count) of s, counted as bytes or as UTF-8 characters.
std::string Extract(const std::string& s, double index, double count, bool multibyte) {
    if (std::isnan(index) || std::isnan(count) || count <= 0)
        return "";
    long start = index < 1 ? 0 : long(std::min(index, 1e9)) - 1;
    long n = long(std::min(count, 1e9));
    if (!multibyte) {
        if (size_t(start) >= s.size())
            return "";
        return s.substr(size_t(start), size_t(n));
    }
    size_t i = 0;
    long ch = 0;
    while (i < s.size() && ch < start) {
        Utf8Decode(s, i);
        ch++;
    }
    size_t from = i;
    while (i < s.size() && n > 0) {
        Utf8Decode(s, i);
        n--;
    }
    return s.substr(from, i - from);
}
} // namespace
uint32_t Vm::RunRange(Frame& f, uint32_t pc, uint32_t lo, uint32_t hi) {
    const std::vector<Instruction>& code = f.block->code;
    const int ver = version_;
    auto pop = [&]() -> Value {
        if (stack_.size() <= f.stackBase)
            return Value();
        Value v = std::move(stack_.back());
        stack_.pop_back();
        return v;
    };
    auto push = [&](Value v) {
        if (stack_.size() >= limits_.maxStack) {
            Abort(RunResult::OutOfMemory);
            return;
        }
        stack_.push_back(std::move(v));
    };
    auto num = [&](const Value& v) { return ToNumber(v); };
    auto boolean = [&](bool b) { return ver >= 5 ? Value::Bool(b) : Value::Num(b ? 1 : 0); };
    auto targetClip = [&](const Value& path) -> ClipId {
        if (path.IsObject())
            return ClipOf(path);
        std::string p = ToString(path);
        Object* o = p.empty() ? f.target : ResolveTarget(f.target, p);
        return o ? ClipOf(Value::Obj(o)) : 0;
    };
    auto popArgs = [&](std::vector<Value>& args) {
        double count = num(pop());
        size_t n = count > 0 ? size_t(std::min(count, double(stack_.size() - f.stackBase))) : 0;
        args.clear();
        args.reserve(n);
        for (size_t i = 0; i < n; i++)
            args.push_back(pop());
    };
    auto navigate = [&](Navigation nav, int frame, const std::string& label) {
        ClipId c = f.target ? ClipOf(Value::Obj(f.target)) : 0;
        if (c && display_)
            display_->Navigate(c, nav, frame, label);
    };
    std::vector<Value> args;

    while (pc >= lo && pc < hi) {
        if (abort_ != RunResult::Done || throwing_)
            return kStopped;
        ++totalInstructions_;
        // The clock is read every 1024 instructions only.
        if ((++budgetUsed_ & 1023) == 0 || budgetUsed_ > limits_.instructionsPerFrame) {
            if (!Budget())
                return kStopped;
        }
        const Instruction& ins = code[pc];
        uint32_t next = pc + 1;
        switch (ins.op) {
        case kNextFrame:
            navigate(Navigation::NextFrame, 0, "");
            break;
        case kPrevFrame:
            navigate(Navigation::PrevFrame, 0, "");
            break;
        case kPlay:
            navigate(Navigation::Play, 0, "");
            break;
        case kStop:
            navigate(Navigation::Stop, 0, "");
            break;
        case kStopSounds:
            if (sound_)
                sound_->StopSounds(0, 0);
            break;
        case kToggleQuality:
        case kEndDrag:
            break;
        case kGotoFrame:
            navigate(Navigation::GotoFrame, int(ins.a) + 1, "");
            navigate(Navigation::Stop, 0, "");
            break;
        case kGoToLabel:
            navigate(Navigation::GotoLabel, 0, ins.s1);
            navigate(Navigation::Stop, 0, "");
            break;
        case kGotoFrame2: {
            Value frame = pop();
            ClipId c = f.target ? ClipOf(Value::Obj(f.target)) : 0;
            if (frame.IsString()) {
                std::string s = frame.s;
                size_t colon = s.rfind(':');
                if (colon != std::string::npos) {
                    Object* o = ResolveTarget(f.target, s.substr(0, colon));
                    c = o ? ClipOf(Value::Obj(o)) : 0;
                    s = s.substr(colon + 1);
                }
                double d = StringToNumber(s, ver);
                if (c && display_) {
                    if (std::isnan(d))
                        display_->Navigate(c, Navigation::GotoLabel, 0, s);
                    else
                        display_->Navigate(c, Navigation::GotoFrame,
                                           ClampInt(std::min(d, 1e9)) + int(ins.b), "");
                }
            } else if (c && display_) {
                double d = num(frame);
                if (std::isfinite(d))
                    display_->Navigate(c, Navigation::GotoFrame,
                                       int(std::max(-1e9, std::min(d, 1e9))) + int(ins.b), "");
            }
            if (c && display_)
                display_->Navigate(c, (ins.a & 1) ? Navigation::Play : Navigation::Stop, 0, "");
            break;
        }
        case kGetURL:
            if (ins.s1.compare(0, 10, "FSCommand:") == 0)
                Notice("fscommand ignored: " + ins.s1.substr(10) + " " + ins.s2);
            else
                Notice("getURL blocked: " + ins.s1 + " (" + ins.s2 + ")");
            break;
        case kGetURL2: {
            Value target = pop(), url = pop();
            std::string u = ToString(url);
            if (u.compare(0, 10, "FSCommand:") == 0)
                Notice("fscommand ignored: " + u.substr(10));
            else if (ins.a & 0x80)
                Notice("loadVariables blocked: " + u);
            else if ((ins.a & 0x40) || ToString(target).compare(0, 6, "_level") == 0)
                Notice("loadMovie blocked: " + u);
            else
                Notice("getURL blocked: " + u + " (" + ToString(target) + ")");
            break;
        }
        case kWaitForFrame:
            break; // every frame of an in-memory movie is loaded
        case kWaitForFrame2:
            pop();
            break;
        case kSetTarget:
        case kSetTarget2: {
            Object* t;
            if (ins.op == kSetTarget) {
                t = ins.s1.empty() ? f.origTarget : ResolveTarget(f.origTarget, ins.s1);
            } else {
                Value v = pop();
                if (v.IsObject())
                    t = v.o;
                else {
                    std::string p = ToString(v);
                    t = p.empty() ? f.origTarget : ResolveTarget(f.origTarget, p);
                }
            }
            f.target = t;
            if (!f.activation && !f.scope.empty())
                f.scope[0] = t ? t : f.origTarget;
            break;
        }
        case kAdd: {
            double b = num(pop()), a = num(pop());
            push(Value::Num(a + b));
            break;
        }
        case kSubtract: {
            double b = num(pop()), a = num(pop());
            push(Value::Num(a - b));
            break;
        }
        case kMultiply: {
            double b = num(pop()), a = num(pop());
            push(Value::Num(a * b));
            break;
        }
        case kDivide: {
            double b = num(pop()), a = num(pop());
            if (b == 0 && ver < 5)
                push(Value::Str("#ERROR#"));
            else
                push(Value::Num(a / b));
            break;
        }
        case kModulo: {
            double b = num(pop()), a = num(pop());
            push(Value::Num(std::fmod(a, b)));
            break;
        }
        case kEquals: {
            double b = num(pop()), a = num(pop());
            push(boolean(a == b));
            break;
        }
        case kLess: {
            double b = num(pop()), a = num(pop());
            push(boolean(a < b));
            break;
        }
        case kAnd: {
            Value b = pop(), a = pop();
            push(boolean(ToBoolean(a, ver) && ToBoolean(b, ver)));
            break;
        }
        case kOr: {
            Value b = pop(), a = pop();
            push(boolean(ToBoolean(a, ver) || ToBoolean(b, ver)));
            break;
        }
        case kNot:
            push(boolean(!ToBoolean(pop(), ver)));
            break;
        case kStringEquals: {
            std::string b = ToString(pop()), a = ToString(pop());
            push(boolean(a == b));
            break;
        }
        case kStringLess: {
            std::string b = ToString(pop()), a = ToString(pop());
            push(boolean(a < b));
            break;
        }
        case kStringGreater: {
            std::string b = ToString(pop()), a = ToString(pop());
            push(boolean(a > b));
            break;
        }
        case kStringLength:
            push(Value::Num(double(ToString(pop()).size())));
            break;
        case kMBStringLength: {
            std::string s = ToString(pop());
            size_t count = 0;
            for (unsigned char c : s)
                count += (c & 0xC0) != 0x80;
            push(Value::Num(double(count)));
            break;
        }
        case kStringExtract:
        case kMBStringExtract: {
            double count = num(pop()), index = num(pop());
            std::string s = ToString(pop());
            push(Value::Str(Extract(s, index, count, ins.op == kMBStringExtract)));
            break;
        }
        case kStringAdd: {
            std::string b = ToString(pop()), a = ToString(pop());
            if (StringFits(a.size() + b.size()))
                push(Value::Str(a + b));
            break;
        }
        case kCharToAscii: {
            std::string s = ToString(pop());
            push(Value::Num(s.empty() ? 0 : double(static_cast<unsigned char>(s[0]))));
            break;
        }
        case kMBCharToAscii: {
            std::string s = ToString(pop());
            size_t i = 0;
            push(Value::Num(s.empty() ? 0 : double(Utf8Decode(s, i))));
            break;
        }
        case kAsciiToChar: {
            uint32_t c = ToUint32(num(pop())) & 0xFF;
            push(Value::Str(ver >= 6 ? Utf8Encode(c) : std::string(1, char(c))));
            break;
        }
        case kMBAsciiToChar:
            push(Value::Str(Utf8Encode(ToUint32(num(pop())) & 0x1FFFFF)));
            break;
        case kToInteger: {
            double d = num(pop());
            push(Value::Num(std::isfinite(d) ? std::trunc(d) : (std::isnan(d) ? 0 : d)));
            break;
        }
        case kPop:
            pop();
            break;
        case kGetVariable: {
            std::string name = ToString(pop());
            push(GetVariable(f, name));
            break;
        }
        case kSetVariable: {
            Value v = pop();
            std::string name = ToString(pop());
            SetVariable(f, name, v);
            break;
        }
        case kGetProperty: {
            double index = num(pop());
            ClipId c = targetClip(pop());
            if (index >= 0 && index < double(DisplayProp::Depth) && c) {
                push(DisplayGet(c, int(index)));
            } else {
                push(Value());
            }
            break;
        }
        case kSetProperty: {
            Value v = pop();
            double index = num(pop());
            ClipId c = targetClip(pop());
            if (index >= 0 && index < double(DisplayProp::Depth) && c)
                DisplaySet(c, int(index), v);
            break;
        }
        case kCloneSprite: {
            double depth = num(pop());
            std::string name = ToString(pop());
            ClipId c = targetClip(pop());
            if (c && display_ && std::isfinite(depth))
                display_->Duplicate(c, name, int(std::max(-1e9, std::min(depth, 1e9))) - 16384);
            break;
        }
        case kRemoveSprite: {
            ClipId c = targetClip(pop());
            if (c && display_)
                display_->Remove(c);
            break;
        }
        case kTrace: {
            Value v = pop();
            Emit(Channel::Trace, v.IsUndefined() ? "undefined" : ToString(v));
            break;
        }
        case kStartDrag: {
            pop();
            pop();
            if (ToBoolean(pop(), ver))
                for (int i = 0; i < 4; i++)
                    pop();
            break;
        }
        case kRandomNumber: {
            double max = num(pop());
            push(Value::Num(max > 0 ? std::floor(Random() * std::floor(max)) : 0));
            break;
        }
        case kGetTime:
            push(Value::Num(std::floor(Now())));
            break;
        case kThrow:
            Throw(pop());
            return kStopped;
        case kCastOp: {
            Value o = pop(), ctor = pop();
            push(ctor.IsObject() && InstanceOf(o, ctor.o) ? o : Value::Null());
            break;
        }
        case kImplementsOp: {
            Value ctor = pop();
            popArgs(args);
            Value proto = ctor.IsObject() ? GetProp(ctor.o, "prototype") : Value();
            if (proto.IsObject())
                for (const Value& i : args)
                    if (i.IsObject() && proto.o->interfaces.size() < 64)
                        proto.o->interfaces.push_back(i.o);
            break;
        }
        case kDelete: {
            std::string name = ToString(pop());
            Value o = pop();
            push(boolean(o.IsObject() && Delete(o.o, name)));
            break;
        }
        case kDelete2: {
            std::string name = ToString(pop());
            bool done = false;
            for (size_t i = f.scope.size(); i-- > 0 && !done;)
                if (HasProperty(f.scope[i], name))
                    done = Delete(f.scope[i], name), i = 0;
            if (!done && global_->Find(name, caseSensitive()))
                done = Delete(global_, name);
            push(boolean(done));
            break;
        }
        case kDefineLocal:
        case kDefineLocal2: {
            Value v = ins.op == kDefineLocal ? pop() : Value();
            std::string name = ToString(pop());
            Object* where = f.activation ? f.activation : f.target;
            if (!where)
                where = global_;
            if (ins.op == kDefineLocal || !where->Find(name, caseSensitive()))
                Set(Value::Obj(where), name, v);
            break;
        }
        case kCallFunction: {
            std::string name = ToString(pop());
            popArgs(args);
            Value fn = GetVariable(f, name);
            Value self = f.target ? Value::Obj(f.target) : Value();
            push(Call(fn, self, args.data(), args.size()));
            break;
        }
        case kCallMethod: {
            Value name = pop();
            Value o = pop();
            popArgs(args);
            std::string method = name.IsNullish() ? "" : ToString(name);
            if (method.empty() && !(o.IsObject() && o.o->kind == Kind::Super))
                push(Call(o, Value(), args.data(), args.size()));
            else
                push(CallMethod(o, method, args.data(), args.size()));
            break;
        }
        case kNewObject: {
            std::string name = ToString(pop());
            popArgs(args);
            push(Construct(GetVariable(f, name), args.data(), args.size()));
            break;
        }
        case kNewMethod: {
            Value name = pop();
            Value o = pop();
            popArgs(args);
            std::string method = name.IsNullish() ? "" : ToString(name);
            Value ctor = method.empty() ? o : Get(o, method);
            push(Construct(ctor, args.data(), args.size()));
            break;
        }
        case kReturn:
            f.ret = pop();
            return kStopped;
        case kInitArray: {
            popArgs(args);
            push(Value::Obj(NewArray(args)));
            break;
        }
        case kInitObject: {
            double count = num(pop());
            Object* o = NewObject();
            for (double i = 0; i < count && stack_.size() > f.stackBase + 1; i++) {
                Value v = pop();
                std::string name = ToString(pop());
                Set(Value::Obj(o), name, v);
            }
            push(Value::Obj(o));
            break;
        }
        case kTypeOf:
            push(Value::Str(TypeOf(pop())));
            break;
        case kTargetPath: {
            Value v = pop();
            if (ClipOf(v))
                push(Value::Str(TargetPath(v.o)));
            else
                push(Value());
            break;
        }
        case kEnumerate:
        case kEnumerate2: {
            Value v = pop();
            if (ins.op == kEnumerate)
                v = GetVariable(f, ToString(v));
            push(Value::Null());
            if (v.IsObject())
                for (std::string& k : Keys(v.o))
                    push(Value::Str(std::move(k)));
            break;
        }
        case kAdd2: {
            Value b = pop(), a = pop();
            push(Add(a, b));
            break;
        }
        case kLess2: {
            Value b = pop(), a = pop();
            push(Less(a, b));
            break;
        }
        case kGreater: {
            Value b = pop(), a = pop();
            push(Less(b, a));
            break;
        }
        case kEquals2: {
            Value b = pop(), a = pop();
            push(Value::Bool(Equals(a, b)));
            break;
        }
        case kStrictEquals: {
            Value b = pop(), a = pop();
            push(Value::Bool(StrictEquals(a, b)));
            break;
        }
        case kToNumber:
            push(Value::Num(num(pop())));
            break;
        case kToString:
            push(Value::Str(ToString(pop())));
            break;
        case kPushDuplicate: {
            Value v = pop();
            push(v);
            push(std::move(v));
            break;
        }
        case kStackSwap: {
            Value b = pop(), a = pop();
            push(std::move(b));
            push(std::move(a));
            break;
        }
        case kGetMember: {
            Value name = pop();
            Value o = pop();
            push(Get(o, name.IsString() ? name.s.get() : ToString(name)));
            break;
        }
        case kSetMember: {
            Value v = pop();
            Value name = pop();
            Value o = pop();
            Set(o, name.IsString() ? name.s.get() : ToString(name), v);
            break;
        }
        case kIncrement:
            push(Value::Num(num(pop()) + 1));
            break;
        case kDecrement:
            push(Value::Num(num(pop()) - 1));
            break;
        case kBitAnd:
        case kBitOr:
        case kBitXor:
        case kBitLShift:
        case kBitRShift:
        case kBitURShift: {
            double b = num(pop()), a = num(pop());
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
            push(Value::Num(r));
            break;
        }
        case kInstanceOf: {
            Value ctor = pop(), o = pop();
            push(Value::Bool(ctor.IsObject() && InstanceOf(o, ctor.o)));
            break;
        }
        case kExtends: {
            Value super = pop(), sub = pop();
            if (!super.IsObject() || !sub.IsObject())
                break;
            Object* proto = NewObject();
            Value superProto = GetProp(super.o, "prototype");
            proto->proto = superProto.IsObject() ? superProto.o : nullptr;
            proto->Put("__constructor__", super, caseSensitive(), kDontEnum);
            Set(sub, "prototype", Value::Obj(proto));
            break;
        }
        case kStoreRegister:
            if (stack_.size() > f.stackBase && ins.a < f.regs.size())
                f.regs[ins.a] = stack_.back();
            break;
        case kConstantPool:
            f.pool = std::make_shared<const std::vector<std::string>>(ins.names);
            break;
        case kPush:
            for (const PushItem& item : ins.push) {
                switch (item.kind) {
                case PushItem::Literal:
                    push(item.value);
                    break;
                case PushItem::Register:
                    push(item.index < f.regs.size() ? f.regs[item.index] : Value());
                    break;
                case PushItem::Constant:
                    push(f.pool && item.index < f.pool->size() ? Value::Str((*f.pool)[item.index])
                                                               : Value());
                    break;
                }
            }
            break;
        case kJump:
            next = ins.a;
            break;
        case kIf:
            if (ToBoolean(pop(), ver))
                next = ins.a;
            break;
        case kCall:
            pop(); // running another frame's actions is the timeline's business; not supported
            break;
        case kDefineFunction:
        case kDefineFunction2: {
            Object* fn = NewObject(Kind::Function);
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
            Object* proto = NewObject();
            proto->Put("constructor", Value::Obj(fn), false, kDontEnum);
            fn->Put("prototype", Value::Obj(proto), false, kDontEnum);
            if (ins.s1.empty()) {
                push(Value::Obj(fn));
            } else {
                Object* where = f.activation ? f.activation : f.target;
                Set(Value::Obj(where ? where : global_), ins.s1, Value::Obj(fn));
            }
            next = ins.a;
            break;
        }
        case kWith: {
            Value v = pop();
            const uint32_t end = std::min(ins.a, hi);
            if (depth_ >= limits_.maxCallDepth) {
                Abort(RunResult::TooDeep);
                return kStopped;
            }
            depth_++;
            bool pushed = v.IsObject();
            if (pushed)
                f.scope.push_back(v.o);
            uint32_t r = RunRange(f, pc + 1, pc + 1, end);
            if (pushed && !f.scope.empty())
                f.scope.pop_back();
            depth_--;
            if (r == kStopped)
                return kStopped;
            next = r;
            break;
        }
        case kTry: {
            const uint32_t tryEnd = std::min(ins.a, hi), catchEnd = std::min(ins.b, hi),
                           finallyEnd = std::min(ins.c, hi);
            if (depth_ >= limits_.maxCallDepth) {
                Abort(RunResult::TooDeep);
                return kStopped;
            }
            depth_++;
            uint32_t r = RunRange(f, pc + 1, pc + 1, tryEnd);
            bool returned = r == kStopped && !throwing_;
            if (throwing_ && !aborted() && (ins.tryFlags & 1)) {
                throwing_ = false;
                Value e = thrown_;
                if (ins.tryFlags & 4) {
                    uint8_t reg = ins.registers.empty() ? 0 : ins.registers[0];
                    if (reg < f.regs.size())
                        f.regs[reg] = e;
                } else {
                    Object* where = f.activation ? f.activation : f.target;
                    Set(Value::Obj(where ? where : global_), ins.s1, e);
                }
                r = RunRange(f, tryEnd, tryEnd, catchEnd);
                returned = r == kStopped && !throwing_;
            }
            if ((ins.tryFlags & 2) && !aborted()) {
                bool wasThrowing = throwing_;
                Value saved = thrown_;
                Value savedRet = f.ret;
                throwing_ = false;
                uint32_t r2 = RunRange(f, catchEnd, catchEnd, finallyEnd);
                if (r2 == kStopped) {
                    r = kStopped; // the finally block's own return or throw wins
                } else {
                    throwing_ = wasThrowing;
                    thrown_ = saved;
                    f.ret = savedRet;
                }
            }
            depth_--;
            (void)returned;
            if (r == kStopped || throwing_)
                return kStopped;
            next = (r == tryEnd || r == catchEnd) ? finallyEnd : r;
            break;
        }
        default:
            break; // unknown actions are skipped, as Flash does
        }
        if (next == kNoTarget) {
            Abort(RunResult::Malformed);
            Notice("script stopped: a jump lands inside an action");
            return kStopped;
        }
        pc = next;
    }
    return pc;
}

} // namespace avm1