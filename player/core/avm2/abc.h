// The ABC block (DoABC tags) as plain data, checked whole before anything runs: every
// constant-pool index, count and jump target is verified here, so the interpreter never
// reads out of range. Method bodies are decoded into instruction lists with jumps resolved
// to instruction indices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avm2 {

enum class AbcStatus {
    Ok,
    Truncated, // a read ran past the end of the block
    TooLarge,  // a count above the reader's limits
    BadIndex,  // a constant-pool or table index out of range
    BadKind,   // an unknown namespace, multiname, trait or constant kind
    BadCode,   // an unknown instruction or one cut short
    BadJump,   // a jump, switch case or handler outside its body or mid-instruction
    BadBody,   // a body for a missing method, twice for one, or with no code
};
const char* AbcStatusText(AbcStatus status);

// Reader limits: counts above these are refused before anything is allocated.
struct AbcLimits {
    uint32_t maxPoolEntries = 1u << 20;
    uint32_t maxMethods = 1u << 18;
    uint32_t maxClasses = 1u << 16;
    uint32_t maxTraits = 1u << 16;
    uint32_t maxCodeBytes = 16u << 20; // over all bodies
    uint32_t maxParams = 4096;
};

enum NsKind : uint8_t {
    kNsPrivate = 0x05,
    kNsNamespace = 0x08,
    kNsPackage = 0x16,
    kNsInternal = 0x17,
    kNsProtected = 0x18,
    kNsExplicit = 0x19,
    kNsStaticProtected = 0x1A,
};

struct AbcNamespace {
    uint8_t kind = kNsPackage;
    uint32_t name = 0; // string index
};

enum MnKind : uint8_t {
    kQName = 0x07,
    kQNameA = 0x0D,
    kRTQName = 0x0F,
    kRTQNameA = 0x10,
    kRTQNameL = 0x11,
    kRTQNameLA = 0x12,
    kMultiname = 0x09,
    kMultinameA = 0x0E,
    kMultinameL = 0x1B,
    kMultinameLA = 0x1C,
    kTypeName = 0x1D,
};

struct AbcMultiname {
    uint8_t kind = 0;             // 0 for entry 0 (any name)
    uint32_t ns = 0;              // QName
    uint32_t name = 0;            // string index; 0 = any
    uint32_t nsSet = 0;           // Multiname, MultinameL
    uint32_t base = 0;            // TypeName: the generic type's multiname
    std::vector<uint32_t> params; // TypeName parameters
    bool RuntimeName() const {
        return kind == kRTQNameL || kind == kRTQNameLA || kind == kMultinameL ||
               kind == kMultinameLA;
    }
    bool RuntimeNs() const {
        return kind == kRTQName || kind == kRTQNameA || kind == kRTQNameL || kind == kRTQNameLA;
    }
    bool Attribute() const {
        return kind == kQNameA || kind == kRTQNameA || kind == kRTQNameLA || kind == kMultinameA ||
               kind == kMultinameLA;
    }
};

enum ConstKind : uint8_t {
    kCUndefined = 0x00,
    kCUtf8 = 0x01,
    kCInt = 0x03,
    kCUInt = 0x04,
    kCDouble = 0x06,
    kCFalse = 0x0A,
    kCTrue = 0x0B,
    kCNull = 0x0C,
};

struct AbcConst {
    uint8_t kind = kCUndefined;
    uint32_t index = 0;
};

enum MethodFlags : uint8_t {
    kNeedArguments = 0x01,
    kNeedActivation = 0x02,
    kNeedRest = 0x04,
    kHasOptional = 0x08,
    kSetDxns = 0x40,
    kHasParamNames = 0x80,
};

struct AbcInstruction {
    uint8_t op = 0;
    int32_t a = 0, b = 0;  // operands; jumps: the target instruction index in `a`
    uint32_t switchAt = 0; // lookupswitch: first of its targets in the body's table
};

struct AbcException {
    uint32_t from = 0, to = 0, target = 0; // instruction indices; [from, to)
    uint32_t type = 0, name = 0;           // multinames
};

enum TraitKind : uint8_t {
    kTraitSlot = 0,
    kTraitMethod = 1,
    kTraitGetter = 2,
    kTraitSetter = 3,
    kTraitClass = 4,
    kTraitFunction = 5,
    kTraitConst = 6,
};

struct AbcTrait {
    uint32_t name = 0; // a QName multiname
    uint8_t kind = 0;
    uint8_t attrs = 0;
    uint32_t slotId = 0; // slots, classes, functions; disp_id for methods
    uint32_t type = 0;   // slot type multiname
    uint32_t index = 0;  // slot: value index; class: class index; method/function: method
    uint8_t valueKind = 0;
};

struct AbcMethodBody {
    uint32_t maxStack = 0, localCount = 0, initScope = 0, maxScope = 0;
    std::vector<AbcInstruction> code;
    std::vector<uint32_t> switchTargets; // instruction indices
    std::vector<AbcException> exceptions;
    std::vector<AbcTrait> traits; // activation
    // An instruction names a constant outside its pool: the method throws when called.
    bool badPool = false;
    uint32_t badPoolIndex = 0, badPoolSize = 0;
};

struct AbcMethod {
    std::vector<uint32_t> paramTypes;
    uint32_t returnType = 0;
    uint32_t name = 0;
    uint8_t flags = 0;
    std::vector<AbcConst> optional;
    int body = -1; // into bodies
};

struct AbcInstance {
    uint32_t name = 0, superName = 0;
    uint8_t flags = 0; // 1 sealed, 2 final, 4 interface, 8 protected ns
    uint32_t protectedNs = 0;
    std::vector<uint32_t> interfaces;
    uint32_t iinit = 0;
    std::vector<AbcTrait> traits;
};

struct AbcClass {
    uint32_t cinit = 0;
    std::vector<AbcTrait> traits;
};

struct AbcScript {
    uint32_t init = 0;
    std::vector<AbcTrait> traits;
};

struct AbcFile {
    std::vector<int32_t> ints;
    std::vector<uint32_t> uints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<AbcNamespace> namespaces;
    std::vector<std::vector<uint32_t>> nsSets;
    std::vector<AbcMultiname> multinames;
    std::vector<AbcMethod> methods;
    std::vector<AbcInstance> instances;
    std::vector<AbcClass> classes;
    std::vector<AbcScript> scripts;
    std::vector<AbcMethodBody> bodies;
};

// Reads and checks a whole block. On anything but Ok, `out` is not to be used; `where`
// gets the byte offset the reader stopped at.
AbcStatus ReadAbc(const uint8_t* data, size_t size, AbcFile* out, size_t* where = nullptr,
                  const AbcLimits& limits = AbcLimits());

} // namespace avm2
