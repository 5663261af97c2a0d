// What one running block of code holds: its decoded block, constant pool, scope chain,
// registers and the base of its stack. Shared by the interpreter loop and scope.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/vm.h"

namespace avm1 {

struct Vm::Frame {
    std::shared_ptr<const ActionBlock> block;
    std::shared_ptr<const std::vector<std::string>> pool;
    std::vector<Object*> scope;   // outermost first; _global is implied before it
    Object* activation = nullptr; // locals of a function; null for timeline code
    Value self;
    Object* target = nullptr; // the timeline that frame actions address (tellTarget)
    Object* origTarget = nullptr;
    Object* home = nullptr; // prototype holding the running method
    std::vector<Value> regs;
    // `arguments` and `super` are made when first asked for, not on every call.
    const Value* args = nullptr;
    size_t argc = 0;
    Object* callee = nullptr;
    bool lazyArguments = false, lazySuper = false;
    bool thisByPath = false;
    Value ret;
    size_t stackBase = 0;
};
} // namespace avm1
