#include "player/core/avm1/actions.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "player/core/swf/utf8.h"

namespace avm1 {
namespace {

// Bounded little-endian reader over one action's payload.
class Payload {
  public:
    // Flash 5 and older movies carry their text in the Windows western code page.
    Payload(const uint8_t* p, size_t n, bool cp1252) : p_(p), n_(n), cp1252_(cp1252) {}
    bool ok() const { return ok_; }
    size_t left() const { return n_ - pos_; }
    uint8_t U8() {
        if (pos_ + 1 > n_)
            return Fail();
        return p_[pos_++];
    }
    uint16_t U16() {
        if (pos_ + 2 > n_)
            return Fail();
        uint16_t v = uint16_t(p_[pos_] | (p_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        if (pos_ + 4 > n_)
            return Fail();
        uint32_t v = uint32_t(p_[pos_]) | uint32_t(p_[pos_ + 1]) << 8 |
                     uint32_t(p_[pos_ + 2]) << 16 | uint32_t(p_[pos_ + 3]) << 24;
        pos_ += 4;
        return v;
    }
    std::string Str() {
        const void* z = std::memchr(p_ + pos_, 0, n_ - pos_);
        if (!z) {
            // An unterminated string takes the rest of the payload.
            std::string s(reinterpret_cast<const char*>(p_ + pos_), n_ - pos_);
            pos_ = n_;
            return cp1252_ ? swf::Utf8FromCp1252(s) : s;
        }
        size_t len = static_cast<const uint8_t*>(z) - (p_ + pos_);
        std::string s(reinterpret_cast<const char*>(p_ + pos_), len);
        pos_ += len + 1;
        return cp1252_ ? swf::Utf8FromCp1252(s) : s;
    }

  private:
    uint8_t Fail() {
        ok_ = false;
        pos_ = n_;
        return 0;
    }
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
    bool ok_ = true;
    bool cp1252_;
};

void DecodePush(Payload& in, Instruction& ins) {
    while (in.left() > 0 && ins.push.size() < 65536) {
        PushItem item;
        uint8_t type = in.U8();
        switch (type) {
        case 0:
            item.value = Value::Str(in.Str());
            break;
        case 1: {
            uint32_t bits = in.U32();
            float f;
            std::memcpy(&f, &bits, 4);
            item.value = Value::Num(f);
            break;
        }
        case 2:
            item.value = Value::Null();
            break;
        case 3:
            break;
        case 4:
            item.kind = PushItem::Register;
            item.index = in.U8();
            break;
        case 5:
            item.value = Value::Bool(in.U8() != 0);
            break;
        case 6: {
            // Stored as two little-endian halves, high half first.
            uint64_t hi = in.U32(), lo = in.U32();
            uint64_t bits = hi << 32 | lo;
            double d;
            std::memcpy(&d, &bits, 8);
            item.value = Value::Num(d);
            break;
        }
        case 7:
            item.value = Value::Num(static_cast<int32_t>(in.U32()));
            break;
        case 8:
            item.kind = PushItem::Constant;
            item.index = in.U8();
            break;
        case 9:
            item.kind = PushItem::Constant;
            item.index = in.U16();
            break;
        default:
            return; // unknown type: the rest of the push is ignored
        }
        if (!in.ok())
            return;
        ins.push.push_back(std::move(item));
    }
}

} // namespace

std::shared_ptr<const ActionBlock> DecodeActions(const uint8_t* data, size_t size, int version) {
    auto block = std::make_shared<ActionBlock>();
    block->version = version;
    auto& code = block->code;
    // Raw targets (byte offsets) to turn into indexes once every instruction start is known.
    struct Fixup {
        size_t index;
        int field; // 0: a, 1: b, 2: c
        int64_t target;
        bool body; // a body end must land on an instruction start
    };
    std::vector<Fixup> fixups;
    size_t pos = 0;
    while (pos < size) {
        if (code.size() >= kMaxInstructions) {
            block->status = DecodeStatus::TooManyActions;
            break;
        }
        Instruction ins;
        ins.offset = static_cast<uint32_t>(pos);
        ins.op = data[pos];
        size_t len = 0;
        size_t start = pos + 1;
        if (ins.op >= 0x80) {
            if (pos + 3 > size) {
                block->status = DecodeStatus::Truncated;
                break;
            }
            len = data[pos + 1] | (data[pos + 2] << 8);
            start = pos + 3;
            if (start + len > size) {
                block->status = DecodeStatus::Truncated;
                break;
            }
        }
        if (ins.op == kEnd)
            break;
        const size_t next = start + len;
        Payload in(data + start, len, version <= 5);
        switch (ins.op) {
        case kGotoFrame:
            ins.a = in.U16();
            break;
        case kGetURL:
            ins.s1 = in.Str();
            ins.s2 = in.Str();
            break;
        case kStoreRegister:
            ins.a = in.U8();
            break;
        case kConstantPool: {
            uint16_t count = in.U16();
            for (uint16_t i = 0; i < count && in.left() > 0; i++)
                ins.names.push_back(in.Str());
            break;
        }
        case kWaitForFrame:
            ins.a = in.U16();
            ins.b = in.U8();
            break;
        case kSetTarget:
        case kGoToLabel:
            ins.s1 = in.Str();
            break;
        case kWaitForFrame2:
            ins.b = in.U8();
            break;
        case kGetURL2:
            ins.a = in.U8();
            break;
        case kGotoFrame2:
            ins.a = in.U8();
            if (ins.a & 2)
                ins.b = in.U16();
            break;
        case kPush:
            DecodePush(in, ins);
            break;
        case kJump:
        case kIf: {
            int16_t delta = static_cast<int16_t>(in.U16());
            fixups.push_back({code.size(), 0, int64_t(next) + delta, false});
            break;
        }
        case kWith: {
            uint16_t bodySize = in.U16();
            fixups.push_back({code.size(), 0, int64_t(next) + bodySize, true});
            break;
        }
        case kDefineFunction: {
            ins.s1 = in.Str();
            uint16_t count = in.U16();
            for (uint16_t i = 0; i < count && in.ok() && in.left() > 2; i++)
                ins.names.push_back(in.Str());
            uint16_t bodySize = in.U16();
            fixups.push_back({code.size(), 0, int64_t(next) + bodySize, true});
            break;
        }
        case kDefineFunction2: {
            ins.s1 = in.Str();
            uint16_t count = in.U16();
            ins.c = in.U8();
            ins.b = in.U16();
            for (uint16_t i = 0; i < count && in.ok() && in.left() > 2; i++) {
                ins.registers.push_back(in.U8());
                ins.names.push_back(in.Str());
            }
            uint16_t bodySize = in.U16();
            fixups.push_back({code.size(), 0, int64_t(next) + bodySize, true});
            break;
        }
        case kTry: {
            ins.tryFlags = in.U8();
            uint16_t trySize = in.U16(), catchSize = in.U16(), finallySize = in.U16();
            if (ins.tryFlags & 4)
                ins.registers.push_back(in.U8());
            else
                ins.s1 = in.Str();
            int64_t t = int64_t(next) + trySize;
            int64_t c = t + catchSize;
            int64_t f = c + finallySize;
            fixups.push_back({code.size(), 0, t, true});
            fixups.push_back({code.size(), 1, c, true});
            fixups.push_back({code.size(), 2, f, true});
            break;
        }
        default:
            break;
        }
        if (!in.ok()) {
            // A payload shorter than its fields: stop here rather than guess.
            while (!fixups.empty() && fixups.back().index == code.size())
                fixups.pop_back();
            block->status = DecodeStatus::Truncated;
            break;
        }
        code.push_back(std::move(ins));
        pos = next;
    }
    // Byte offset of each instruction start, plus the end of the decoded part.
    std::unordered_map<int64_t, uint32_t> at;
    at.reserve(code.size() * 2 + 1);
    for (size_t i = 0; i < code.size(); i++)
        at.emplace(code[i].offset, static_cast<uint32_t>(i));
    const int64_t endOffset = code.empty() ? 0 : int64_t(pos);
    at.emplace(endOffset, static_cast<uint32_t>(code.size()));
    size_t cut = code.size();
    for (const Fixup& f : fixups) {
        uint32_t index;
        auto it = at.find(f.target);
        if (it != at.end()) {
            index = it->second;
        } else if (f.body) {
            // A body must end on an instruction; otherwise the block is malformed from here.
            if (f.target > endOffset) {
                index = static_cast<uint32_t>(code.size());
            } else {
                cut = std::min(cut, f.index);
                block->status = DecodeStatus::BadBody;
                continue;
            }
        } else if (f.target >= endOffset || f.target < 0) {
            // Jumping past the end (or before the start) ends the block, as Flash does.
            index = f.target < 0 ? kNoTarget : static_cast<uint32_t>(code.size());
        } else {
            index = kNoTarget;
        }
        uint32_t& field = f.field == 0   ? code[f.index].a
                          : f.field == 1 ? code[f.index].b
                                         : code[f.index].c;
        field = index;
    }
    if (cut < code.size())
        code.resize(cut);
    // Bodies ending past a cut end at the cut.
    const uint32_t n = static_cast<uint32_t>(code.size());
    for (Instruction& ins : code) {
        if (ins.op == kWith || ins.op == kDefineFunction || ins.op == kDefineFunction2)
            ins.a = std::min(ins.a, n);
        if (ins.op == kTry) {
            ins.a = std::min(ins.a, n);
            ins.b = std::min(std::max(ins.b, ins.a), n);
            ins.c = std::min(std::max(ins.c, ins.b), n);
        }
    }
    return block;
}

} // namespace avm1
