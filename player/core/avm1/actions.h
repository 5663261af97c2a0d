// Decodes an action block (DoAction, DoInitAction, a clip event's actions) into a bounded
// list of instructions before anything runs. Every length, jump target, function body and
// try/with block is checked here, so the interpreter never reads raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/value.h"

namespace avm1 {

// Action codes of SWF versions 3 to 7.
enum Op : uint8_t {
    kEnd = 0x00,
    kNextFrame = 0x04,
    kPrevFrame = 0x05,
    kPlay = 0x06,
    kStop = 0x07,
    kToggleQuality = 0x08,
    kStopSounds = 0x09,
    kAdd = 0x0A,
    kSubtract = 0x0B,
    kMultiply = 0x0C,
    kDivide = 0x0D,
    kEquals = 0x0E,
    kLess = 0x0F,
    kAnd = 0x10,
    kOr = 0x11,
    kNot = 0x12,
    kStringEquals = 0x13,
    kStringLength = 0x14,
    kStringExtract = 0x15,
    kPop = 0x17,
    kToInteger = 0x18,
    kGetVariable = 0x1C,
    kSetVariable = 0x1D,
    kSetTarget2 = 0x20,
    kStringAdd = 0x21,
    kGetProperty = 0x22,
    kSetProperty = 0x23,
    kCloneSprite = 0x24,
    kRemoveSprite = 0x25,
    kTrace = 0x26,
    kStartDrag = 0x27,
    kEndDrag = 0x28,
    kStringLess = 0x29,
    kThrow = 0x2A,
    kCastOp = 0x2B,
    kImplementsOp = 0x2C,
    kRandomNumber = 0x30,
    kMBStringLength = 0x31,
    kCharToAscii = 0x32,
    kAsciiToChar = 0x33,
    kGetTime = 0x34,
    kMBStringExtract = 0x35,
    kMBCharToAscii = 0x36,
    kMBAsciiToChar = 0x37,
    kDelete = 0x3A,
    kDelete2 = 0x3B,
    kDefineLocal = 0x3C,
    kCallFunction = 0x3D,
    kReturn = 0x3E,
    kModulo = 0x3F,
    kNewObject = 0x40,
    kDefineLocal2 = 0x41,
    kInitArray = 0x42,
    kInitObject = 0x43,
    kTypeOf = 0x44,
    kTargetPath = 0x45,
    kEnumerate = 0x46,
    kAdd2 = 0x47,
    kLess2 = 0x48,
    kEquals2 = 0x49,
    kToNumber = 0x4A,
    kToString = 0x4B,
    kPushDuplicate = 0x4C,
    kStackSwap = 0x4D,
    kGetMember = 0x4E,
    kSetMember = 0x4F,
    kIncrement = 0x50,
    kDecrement = 0x51,
    kCallMethod = 0x52,
    kNewMethod = 0x53,
    kInstanceOf = 0x54,
    kEnumerate2 = 0x55,
    kBitAnd = 0x60,
    kBitOr = 0x61,
    kBitXor = 0x62,
    kBitLShift = 0x63,
    kBitRShift = 0x64,
    kBitURShift = 0x65,
    kStrictEquals = 0x66,
    kGreater = 0x67,
    kStringGreater = 0x68,
    kExtends = 0x69,
    kGotoFrame = 0x81,
    kGetURL = 0x83,
    kStoreRegister = 0x87,
    kConstantPool = 0x88,
    kWaitForFrame = 0x8A,
    kSetTarget = 0x8B,
    kGoToLabel = 0x8C,
    kWaitForFrame2 = 0x8D,
    kDefineFunction2 = 0x8E,
    kTry = 0x8F,
    kWith = 0x94,
    kPush = 0x96,
    kJump = 0x99,
    kGetURL2 = 0x9A,
    kDefineFunction = 0x9B,
    kIf = 0x9D,
    kCall = 0x9E,
    kGotoFrame2 = 0x9F,
};

// One item of a Push: a ready value, or a register / constant looked up when it runs.
struct PushItem {
    enum Kind : uint8_t { Literal, Register, Constant } kind = Literal;
    uint16_t index = 0;
    Value value;
};

// Instruction indexes; kNoTarget marks a jump whose target is not an instruction start.
constexpr uint32_t kNoTarget = 0xFFFFFFFFu;

struct Instruction {
    uint8_t op = 0;
    uint32_t offset = 0; // byte offset in the block, for diagnostics
    // Jump / If: target index. WaitForFrame: frames to skip. GotoFrame: frame.
    // StoreRegister: register. GetURL2 / GotoFrame2: flags. With / DefineFunction*: end of
    // the body (index). Try: end of the try body.
    uint32_t a = 0;
    uint32_t b = 0; // GotoFrame2: scene bias. Try: end of catch. DefineFunction2: flags.
    uint32_t c = 0; // Try: end of finally. DefineFunction2: register count.
    uint8_t tryFlags = 0;
    std::string s1, s2;             // GetURL url/target, labels, names, catch name
    std::vector<std::string> names; // ConstantPool strings, function parameter names
    std::vector<uint8_t> registers; // DefineFunction2 parameter registers
    std::vector<PushItem> push;
};

enum class DecodeStatus {
    Ok,
    Truncated,      // an action's length runs past the block: the rest is dropped
    BadBody,        // a function/with/try body that ends inside an instruction or past the block
    TooManyActions, // more than the instruction cap
};

struct ActionBlock {
    std::vector<Instruction> code;
    int version = 7;
    DecodeStatus status = DecodeStatus::Ok;
};

// Upper bound of instructions kept from one block; a block has at most (size) actions anyway.
constexpr size_t kMaxInstructions = 1u << 20;

std::shared_ptr<const ActionBlock> DecodeActions(const uint8_t* data, size_t size, int version);

} // namespace avm1
