#include "player/core/avm2/abc.h"

#include <cmath>
#include <cstring>

namespace avm2 {

const char* AbcStatusText(AbcStatus status) {
    switch (status) {
    case AbcStatus::Ok:
        return "ok";
    case AbcStatus::Truncated:
        return "the block ends inside a record";
    case AbcStatus::TooLarge:
        return "a count is above the limits";
    case AbcStatus::BadIndex:
        return "an index is out of range";
    case AbcStatus::BadKind:
        return "an unknown kind";
    case AbcStatus::BadCode:
        return "an unknown or cut instruction";
    case AbcStatus::BadJump:
        return "a jump lands outside its body or inside an instruction";
    case AbcStatus::BadBody:
        return "a method body without its method";
    }
    return "?";
}

namespace {

// Operand shapes, one per opcode.
enum Shape : uint8_t {
    kBad,
    kNone,
    kMn,      // multiname
    kStr,     // string
    kInt,     // int pool
    kUint,    // uint pool
    kDouble,  // double pool
    kNs,      // namespace
    kMethod,  // method
    kClass,   // class
    kLocal,   // register
    kU30,     // checked when run (slot index, count)
    kMnArgs,  // multiname, count
    kU30Args, // index, count
    kMethodArgs,
    kLocal2, // hasnext2
    kJump,
    kSwitch,
    kByte,
    kDebug,
};

struct ShapeTable {
    Shape s[256];
    ShapeTable() {
        for (Shape& x : s)
            x = kBad;
        const uint8_t none[] = {0x01, 0x02, 0x03, 0x07, 0x09, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21,
                                0x23, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x30, 0x35, 0x36, 0x37,
                                0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x47, 0x48, 0x50, 0x51,
                                0x52, 0x57, 0x64, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77,
                                0x78, 0x81, 0x82, 0x83, 0x84, 0x85, 0x87, 0x88, 0x89, 0x90, 0x91,
                                0x93, 0x95, 0x96, 0x97, 0xB3, 0xB4, 0xC0, 0xC1, 0xC4, 0xC5, 0xC6,
                                0xC7, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xF3};
        for (uint8_t op : none)
            s[op] = kNone;
        for (int op = 0xA0; op <= 0xB1; ++op)
            s[op] = kNone;
        for (int op = 0x0C; op <= 0x1A; ++op)
            s[op] = kJump;
        const uint8_t mn[] = {0x04, 0x05, 0x59, 0x5D, 0x5E, 0x5F, 0x60,
                              0x61, 0x66, 0x68, 0x6A, 0x80, 0x86, 0xB2};
        for (uint8_t op : mn)
            s[op] = kMn;
        const uint8_t mnArgs[] = {0x45, 0x46, 0x4A, 0x4C, 0x4E, 0x4F};
        for (uint8_t op : mnArgs)
            s[op] = kMnArgs;
        const uint8_t local[] = {0x08, 0x62, 0x63, 0x92, 0x94, 0xC2, 0xC3};
        for (uint8_t op : local)
            s[op] = kLocal;
        const uint8_t u30[] = {0x25, 0x41, 0x42, 0x49, 0x53, 0x55, 0x56, 0x5A,
                               0x67, 0x6C, 0x6D, 0x6E, 0x6F, 0xF0, 0xF2};
        for (uint8_t op : u30)
            s[op] = kU30;
        s[0x06] = kStr;
        s[0x2C] = kStr;
        s[0xF1] = kStr;
        s[0x2D] = kInt;
        s[0x2E] = kUint;
        s[0x2F] = kDouble;
        s[0x31] = kNs;
        s[0x40] = kMethod;
        s[0x58] = kClass;
        s[0x43] = kU30Args;
        s[0x44] = kMethodArgs;
        s[0x32] = kLocal2;
        s[0x1B] = kSwitch;
        s[0x24] = kByte;
        s[0x65] = kByte;
        s[0xEF] = kDebug;
    }
};

const ShapeTable& Shapes() {
    static const ShapeTable table;
    return table;
}

class Reader {
  public:
    Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    bool ok() const { return ok_; }
    size_t pos() const { return p_; }
    uint8_t U8() {
        if (p_ >= n_) {
            ok_ = false;
            return 0;
        }
        return d_[p_++];
    }
    uint16_t U16() {
        const uint16_t lo = U8();
        return uint16_t(lo | (U8() << 8));
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 5; ++i) {
            const uint8_t b = U8();
            v |= uint32_t(b & 0x7F) << (7 * i);
            if (!(b & 0x80))
                break;
        }
        return v;
    }
    uint32_t U30() { return U32() & 0x3FFFFFFF; }
    // Flash reads a signed constant as its 32 bits, without extending a short form's top bit:
    // three bytes holding 1234567 mean 1234567, and only a five-byte form is negative.
    int32_t S32() { return int32_t(U32()); }
    int32_t S24() {
        uint32_t v = U8();
        v |= uint32_t(U8()) << 8;
        v |= uint32_t(U8()) << 16;
        if (v & 0x800000)
            v |= 0xFF000000u;
        return int32_t(v);
    }
    double D64() {
        uint8_t b[8];
        for (uint8_t& x : b)
            x = U8();
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | b[i];
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    const uint8_t* Take(size_t count) {
        if (count > n_ - p_) {
            ok_ = false;
            p_ = n_;
            return nullptr;
        }
        const uint8_t* at = d_ + p_;
        p_ += count;
        return at;
    }

  private:
    const uint8_t* d_;
    size_t n_, p_ = 0;
    bool ok_ = true;
};

struct Parse {
    Reader r;
    size_t size;
    AbcFile* f;
    const AbcLimits& lim;
    AbcStatus status = AbcStatus::Ok;
    uint32_t codeBytes = 0;

    bool Fail(AbcStatus s) {
        if (status == AbcStatus::Ok)
            status = s;
        return false;
    }
    size_t Left() const { return size - r.pos(); }
    bool Check() { return r.ok() ? status == AbcStatus::Ok : Fail(AbcStatus::Truncated); }
    // A pool count: the first entry is implied, so `count` 0 or 1 both mean none stored.
    bool Count(uint32_t* count, uint32_t max) {
        *count = r.U30();
        if (!Check())
            return false;
        if (*count > max)
            return Fail(AbcStatus::TooLarge);
        // Each entry takes at least a byte: a count beyond the bytes left is a lie.
        if (*count > 0 && *count - 1 > Left())
            return Fail(AbcStatus::Truncated);
        return true;
    }
    bool Index(uint32_t i, size_t size) { return i < size ? true : Fail(AbcStatus::BadIndex); }
    // A constant an instruction names outside its pool (0 counts as outside for a value's
    // pool): Flash refuses only the method, when it is first called; the block loads.
    uint32_t poolIndex = 0, poolSize = 0;
    bool poolBad = false;
    bool Constant(uint32_t i, size_t pool, bool zeroBad) {
        if ((i == 0 && zeroBad) || i >= pool) {
            if (!poolBad)
                poolIndex = i, poolSize = uint32_t(pool), poolBad = true;
        }
        return true;
    }

    bool Pool() {
        uint32_t n;
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->ints.assign(1, 0);
        for (uint32_t i = 1; i < n && Check(); ++i)
            f->ints.push_back(r.S32());
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->uints.assign(1, 0);
        for (uint32_t i = 1; i < n && Check(); ++i)
            f->uints.push_back(r.U32());
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->doubles.assign(1, std::nan(""));
        for (uint32_t i = 1; i < n && Check(); ++i)
            f->doubles.push_back(r.D64());
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->strings.assign(1, std::string());
        for (uint32_t i = 1; i < n && Check(); ++i) {
            const uint32_t len = r.U30();
            const uint8_t* p = r.Take(len);
            if (!p)
                return Fail(AbcStatus::Truncated);
            f->strings.emplace_back(reinterpret_cast<const char*>(p), len);
        }
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->namespaces.assign(1, AbcNamespace());
        for (uint32_t i = 1; i < n && Check(); ++i) {
            AbcNamespace ns;
            ns.kind = r.U8();
            ns.name = r.U30();
            switch (ns.kind) {
            case kNsPrivate:
            case kNsNamespace:
            case kNsPackage:
            case kNsInternal:
            case kNsProtected:
            case kNsExplicit:
            case kNsStaticProtected:
                break;
            default:
                return Fail(AbcStatus::BadKind);
            }
            if (!Index(ns.name, f->strings.size()))
                return false;
            f->namespaces.push_back(ns);
        }
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->nsSets.assign(1, {});
        for (uint32_t i = 1; i < n && Check(); ++i) {
            uint32_t c;
            if (!Count(&c, lim.maxPoolEntries))
                return false;
            std::vector<uint32_t> set;
            for (uint32_t k = 0; k < c && Check(); ++k) {
                const uint32_t ns = r.U30();
                if (!Index(ns, f->namespaces.size()) || ns == 0)
                    return Fail(AbcStatus::BadIndex);
                set.push_back(ns);
            }
            f->nsSets.push_back(std::move(set));
        }
        if (!Count(&n, lim.maxPoolEntries))
            return false;
        f->multinames.assign(1, AbcMultiname());
        for (uint32_t i = 1; i < n && Check(); ++i) {
            AbcMultiname m;
            m.kind = r.U8();
            switch (m.kind) {
            case kQName:
            case kQNameA:
                m.ns = r.U30();
                m.name = r.U30();
                if (!Index(m.ns, f->namespaces.size()) || !Index(m.name, f->strings.size()))
                    return false;
                break;
            case kRTQName:
            case kRTQNameA:
                m.name = r.U30();
                if (!Index(m.name, f->strings.size()))
                    return false;
                break;
            case kRTQNameL:
            case kRTQNameLA:
                break;
            case kMultiname:
            case kMultinameA:
                m.name = r.U30();
                m.nsSet = r.U30();
                if (!Index(m.name, f->strings.size()) || !Index(m.nsSet, f->nsSets.size()) ||
                    m.nsSet == 0)
                    return Fail(AbcStatus::BadIndex);
                break;
            case kMultinameL:
            case kMultinameLA:
                m.nsSet = r.U30();
                if (!Index(m.nsSet, f->nsSets.size()) || m.nsSet == 0)
                    return Fail(AbcStatus::BadIndex);
                break;
            case kTypeName: {
                m.base = r.U30();
                uint32_t c = r.U30();
                if (c > 16)
                    return Fail(AbcStatus::TooLarge);
                // A type name may only name earlier entries, so no cycle can form.
                if (m.base >= i)
                    return Fail(AbcStatus::BadIndex);
                for (uint32_t k = 0; k < c; ++k) {
                    const uint32_t p = r.U30();
                    if (p >= i)
                        return Fail(AbcStatus::BadIndex);
                    m.params.push_back(p);
                }
                break;
            }
            default:
                return Check() && Fail(AbcStatus::BadKind);
            }
            f->multinames.push_back(std::move(m));
        }
        return Check();
    }

    bool ConstIndex(uint8_t kind, uint32_t index) {
        switch (kind) {
        case kCInt:
            return Index(index, f->ints.size());
        case kCUInt:
            return Index(index, f->uints.size());
        case kCDouble:
            return Index(index, f->doubles.size());
        case kCUtf8:
            return Index(index, f->strings.size());
        case kCTrue:
        case kCFalse:
        case kCNull:
        case kCUndefined:
            return true;
        case kNsPrivate:
        case kNsNamespace:
        case kNsPackage:
        case kNsInternal:
        case kNsProtected:
        case kNsExplicit:
        case kNsStaticProtected:
            return Index(index, f->namespaces.size());
        }
        return Fail(AbcStatus::BadKind);
    }

    bool Methods() {
        uint32_t n = r.U30();
        if (!Check())
            return false;
        if (n > lim.maxMethods)
            return Fail(AbcStatus::TooLarge);
        f->methods.reserve(n);
        for (uint32_t i = 0; i < n && Check(); ++i) {
            AbcMethod m;
            const uint32_t params = r.U30();
            if (params > lim.maxParams)
                return Fail(AbcStatus::TooLarge);
            m.returnType = r.U30();
            if (!Index(m.returnType, f->multinames.size()))
                return false;
            for (uint32_t k = 0; k < params && Check(); ++k) {
                const uint32_t t = r.U30();
                if (!Index(t, f->multinames.size()))
                    return false;
                m.paramTypes.push_back(t);
            }
            m.name = r.U30();
            m.flags = r.U8();
            if (!Index(m.name, f->strings.size()))
                return false;
            if (m.flags & kHasOptional) {
                const uint32_t c = r.U30();
                if (c > params)
                    return Fail(AbcStatus::BadIndex);
                for (uint32_t k = 0; k < c && Check(); ++k) {
                    AbcConst o;
                    o.index = r.U30();
                    o.kind = r.U8();
                    if (!ConstIndex(o.kind, o.index))
                        return false;
                    m.optional.push_back(o);
                }
            }
            if (m.flags & kHasParamNames)
                for (uint32_t k = 0; k < params && Check(); ++k)
                    r.U30();
            f->methods.push_back(std::move(m));
        }
        return Check();
    }

    bool Metadata() {
        const uint32_t n = r.U30();
        if (n > lim.maxPoolEntries)
            return Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < n && Check(); ++i) {
            r.U30();
            const uint32_t items = r.U30();
            if (items > lim.maxPoolEntries)
                return Fail(AbcStatus::TooLarge);
            for (uint32_t k = 0; k < items * 2 && Check(); ++k)
                r.U30();
        }
        return Check();
    }

    bool Traits(std::vector<AbcTrait>* out) {
        const uint32_t n = r.U30();
        if (!Check())
            return false;
        if (n > lim.maxTraits)
            return Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < n && Check(); ++i) {
            AbcTrait t;
            t.name = r.U30();
            const uint8_t kind = r.U8();
            t.kind = kind & 0x0F;
            t.attrs = kind >> 4;
            if (!Index(t.name, f->multinames.size()) || t.name == 0)
                return Fail(AbcStatus::BadIndex);
            const uint8_t mk = f->multinames[t.name].kind;
            if (mk != kQName && mk != kQNameA)
                return Fail(AbcStatus::BadKind);
            switch (t.kind) {
            case kTraitSlot:
            case kTraitConst:
                t.slotId = r.U30();
                t.type = r.U30();
                t.index = r.U30();
                if (!Index(t.type, f->multinames.size()))
                    return false;
                if (t.index != 0) {
                    t.valueKind = r.U8();
                    if (!ConstIndex(t.valueKind, t.index))
                        return false;
                }
                break;
            case kTraitClass:
                t.slotId = r.U30();
                t.index = r.U30();
                // Classes are read after their traits' owners: checked in Finish().
                break;
            case kTraitFunction:
            case kTraitMethod:
            case kTraitGetter:
            case kTraitSetter:
                t.slotId = r.U30();
                t.index = r.U30();
                if (!Index(t.index, f->methods.size()))
                    return false;
                break;
            default:
                return Fail(AbcStatus::BadKind);
            }
            if (t.attrs & 0x4) {
                const uint32_t c = r.U30();
                if (c > lim.maxPoolEntries)
                    return Fail(AbcStatus::TooLarge);
                for (uint32_t k = 0; k < c && Check(); ++k)
                    r.U30();
            }
            out->push_back(t);
        }
        return Check();
    }

    bool Classes() {
        const uint32_t n = r.U30();
        if (!Check())
            return false;
        if (n > lim.maxClasses)
            return Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < n && Check(); ++i) {
            AbcInstance c;
            c.name = r.U30();
            c.superName = r.U30();
            c.flags = r.U8();
            if (!Index(c.name, f->multinames.size()) || !Index(c.superName, f->multinames.size()))
                return false;
            if (c.flags & 8) {
                c.protectedNs = r.U30();
                if (!Index(c.protectedNs, f->namespaces.size()))
                    return false;
            }
            const uint32_t ni = r.U30();
            if (ni > lim.maxClasses)
                return Fail(AbcStatus::TooLarge);
            for (uint32_t k = 0; k < ni && Check(); ++k) {
                const uint32_t x = r.U30();
                if (!Index(x, f->multinames.size()))
                    return false;
                c.interfaces.push_back(x);
            }
            c.iinit = r.U30();
            if (!Index(c.iinit, f->methods.size()) || !Traits(&c.traits))
                return false;
            f->instances.push_back(std::move(c));
        }
        for (uint32_t i = 0; i < n && Check(); ++i) {
            AbcClass c;
            c.cinit = r.U30();
            if (!Index(c.cinit, f->methods.size()) || !Traits(&c.traits))
                return false;
            f->classes.push_back(std::move(c));
        }
        const uint32_t ns = r.U30();
        if (ns > lim.maxClasses)
            return Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < ns && Check(); ++i) {
            AbcScript s;
            s.init = r.U30();
            if (!Index(s.init, f->methods.size()) || !Traits(&s.traits))
                return false;
            f->scripts.push_back(std::move(s));
        }
        return Check();
    }

    bool Operand(Shape shape, const AbcMethodBody& b, AbcInstruction* ins) {
        switch (shape) {
        case kNone:
            return true;
        case kMn:
            ins->a = int32_t(r.U30());
            return Constant(uint32_t(ins->a), f->multinames.size(), false);
        case kStr:
            ins->a = int32_t(r.U30());
            return Constant(uint32_t(ins->a), f->strings.size(), true);
        case kInt:
            ins->a = int32_t(r.U30());
            return Constant(uint32_t(ins->a), f->ints.size(), true);
        case kUint:
            ins->a = int32_t(r.U30());
            return Constant(uint32_t(ins->a), f->uints.size(), true);
        case kDouble:
            ins->a = int32_t(r.U30());
            return Constant(uint32_t(ins->a), f->doubles.size(), true);
        case kNs:
            ins->a = int32_t(r.U30());
            return Index(uint32_t(ins->a), f->namespaces.size());
        case kMethod:
            ins->a = int32_t(r.U30());
            return Index(uint32_t(ins->a), f->methods.size());
        case kClass:
            ins->a = int32_t(r.U30());
            return Index(uint32_t(ins->a), f->instances.size());
        case kLocal:
            ins->a = int32_t(r.U30());
            return Index(uint32_t(ins->a), b.localCount);
        case kU30:
            ins->a = int32_t(r.U30());
            return true;
        case kMnArgs:
            ins->a = int32_t(r.U30());
            ins->b = int32_t(r.U30());
            return Index(uint32_t(ins->a), f->multinames.size());
        case kU30Args:
            ins->a = int32_t(r.U30());
            ins->b = int32_t(r.U30());
            return true;
        case kMethodArgs:
            ins->a = int32_t(r.U30());
            ins->b = int32_t(r.U30());
            return Index(uint32_t(ins->a), f->methods.size());
        case kLocal2:
            ins->a = int32_t(r.U30());
            ins->b = int32_t(r.U30());
            return Index(uint32_t(ins->a), b.localCount) && Index(uint32_t(ins->b), b.localCount);
        case kByte:
            ins->a = ins->op == 0x24 ? int32_t(int8_t(r.U8())) : int32_t(r.U8());
            return true;
        case kDebug:
            r.U8();
            ins->a = int32_t(r.U30());
            r.U8();
            r.U30();
            return Index(uint32_t(ins->a), f->strings.size());
        case kJump:
        case kSwitch:
        case kBad:
            break;
        }
        return Fail(AbcStatus::BadCode);
    }

    bool Body() {
        AbcMethodBody b;
        const uint32_t method = r.U30();
        b.maxStack = r.U30();
        b.localCount = r.U30();
        b.initScope = r.U30();
        b.maxScope = r.U30();
        const uint32_t len = r.U30();
        if (!Check())
            return false;
        if (!Index(method, f->methods.size()) || f->methods[method].body >= 0)
            return Fail(AbcStatus::BadBody);
        if (len == 0 || len > lim.maxCodeBytes - codeBytes)
            return Fail(len == 0 ? AbcStatus::BadBody : AbcStatus::TooLarge);
        if (b.localCount > 65535 || b.maxScope > 65535 || b.maxStack > 1u << 20)
            return Fail(AbcStatus::TooLarge);
        codeBytes += len;
        const uint8_t* code = r.Take(len);
        if (!code)
            return Fail(AbcStatus::Truncated);
        // Decode: byte offset of each instruction, then resolve jumps.
        std::vector<int32_t> at(len + 1, -1);
        std::vector<uint32_t> offsets;
        std::vector<int64_t> rawSwitch;
        Reader cr(code, len);
        Reader outer = r;
        poolBad = false;
        const Shape* shapes = Shapes().s;
        while (cr.pos() < len) {
            const uint32_t start = uint32_t(cr.pos());
            at[start] = int32_t(b.code.size());
            AbcInstruction ins;
            ins.op = cr.U8();
            const Shape shape = shapes[ins.op];
            if (shape == kBad)
                return Fail(AbcStatus::BadCode);
            if (shape == kJump) {
                const int32_t off = cr.S24();
                ins.a = int32_t(int64_t(cr.pos()) + off < 0 || int64_t(cr.pos()) + off > len
                                    ? -1
                                    : int64_t(cr.pos()) + off);
                // The body's end is a target too: compilers (Haxe) jump there, and
                // arriving there returns as falling off the end does.
                if (ins.a < 0 || uint32_t(ins.a) > len)
                    return Fail(AbcStatus::BadJump);
            } else if (shape == kSwitch) {
                const int64_t deflt = int64_t(start) + cr.S24();
                const uint32_t cases = cr.U30();
                if (cases > 65535 || !cr.ok())
                    return Fail(cr.ok() ? AbcStatus::TooLarge : AbcStatus::BadCode);
                ins.switchAt = uint32_t(rawSwitch.size());
                ins.b = int32_t(cases + 1);
                rawSwitch.push_back(deflt);
                for (uint32_t k = 0; k <= cases && cr.ok(); ++k)
                    rawSwitch.push_back(int64_t(start) + cr.S24());
            } else {
                std::swap(r, cr);
                const bool good = Operand(shape, b, &ins);
                std::swap(r, cr);
                if (!good)
                    return false;
            }
            if (!cr.ok())
                return Fail(AbcStatus::BadCode);
            offsets.push_back(start);
            b.code.push_back(ins);
        }
        r = outer;
        if (poolBad) {
            b.badPool = true;
            b.badPoolIndex = poolIndex;
            b.badPoolSize = poolSize;
        }
        at[len] = int32_t(b.code.size());
        auto target = [&](int64_t off, uint32_t* out) {
            if (off < 0 || off > int64_t(len) || at[size_t(off)] < 0)
                return false;
            *out = uint32_t(at[size_t(off)]);
            return true;
        };
        for (AbcInstruction& ins : b.code) {
            if (shapes[ins.op] == kJump) {
                uint32_t t;
                if (!target(ins.a, &t))
                    return Fail(AbcStatus::BadJump);
                ins.a = int32_t(t);
            }
        }
        for (int64_t off : rawSwitch) {
            uint32_t t;
            if (!target(off, &t))
                return Fail(AbcStatus::BadJump);
            b.switchTargets.push_back(t);
        }
        // The first instruction at or after a byte offset (handlers' ranges).
        auto from = [&](uint32_t off) {
            uint32_t k = 0;
            while (k < offsets.size() && offsets[k] < off)
                ++k;
            return k;
        };
        const uint32_t ne = r.U30();
        if (ne > 4096)
            return Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < ne && Check(); ++i) {
            AbcException e;
            const uint32_t f0 = r.U30(), t0 = r.U30(), g0 = r.U30();
            e.type = r.U30();
            e.name = r.U30();
            if (!Check())
                return false;
            if (f0 > len || t0 > len || f0 > t0 || !target(g0, &e.target))
                return Fail(AbcStatus::BadJump);
            if (!Index(e.type, f->multinames.size()) || !Index(e.name, f->multinames.size()))
                return false;
            e.from = from(f0);
            e.to = from(t0);
            b.exceptions.push_back(e);
        }
        for (const AbcInstruction& ins : b.code)
            if (ins.op == 0x5A && uint32_t(ins.a) >= b.exceptions.size())
                return Fail(AbcStatus::BadIndex);
        if (!Traits(&b.traits))
            return false;
        f->methods[method].body = int(f->bodies.size());
        f->bodies.push_back(std::move(b));
        return true;
    }

    bool Finish() {
        auto classes = [&](const std::vector<AbcTrait>& traits) {
            for (const AbcTrait& t : traits)
                if (t.kind == kTraitClass && t.index >= f->instances.size())
                    return Fail(AbcStatus::BadIndex);
            return true;
        };
        for (const AbcInstance& c : f->instances)
            if (!classes(c.traits))
                return false;
        for (const AbcClass& c : f->classes)
            if (!classes(c.traits))
                return false;
        for (const AbcScript& s : f->scripts)
            if (!classes(s.traits))
                return false;
        for (const AbcMethodBody& b : f->bodies)
            if (!classes(b.traits))
                return false;
        return true;
    }
};

} // namespace

AbcStatus ReadAbc(const uint8_t* data, size_t size, AbcFile* out, size_t* where,
                  const AbcLimits& limits) {
    *out = AbcFile();
    Parse p{Reader(data, size), size, out, limits};
    p.r.U16();
    p.r.U16();
    if (p.Pool() && p.Methods() && p.Metadata() && p.Classes()) {
        const uint32_t n = p.r.U30();
        if (n > limits.maxMethods)
            p.Fail(AbcStatus::TooLarge);
        for (uint32_t i = 0; i < n && p.Check(); ++i)
            if (!p.Body())
                break;
        if (p.Check())
            p.Finish();
    }
    p.Check();
    if (where)
        *where = p.r.pos();
    return p.status;
}

} // namespace avm2
