// The Vm's own records of loaded blocks and scripts, shared by vm.cpp, properties.cpp and
// interpreter.cpp only.
#pragma once

#include "player/core/avm2/vm.h"

namespace avm2 {

struct LoadedAbc {
    std::unique_ptr<AbcFile> f;
    std::vector<int> ns; // per namespace entry: its id
    std::vector<std::vector<int>> sets;
    struct Mn {
        Name name;
        uint8_t kind = 0;
        bool rtName = false, rtNs = false;
        ClassInfo* cls = nullptr; // resolved type, cached
        bool resolved = false;
    };
    std::vector<Mn> mns;
    std::vector<Text> strings;
    std::vector<Method*> methods;
    std::vector<ClassInfo*> classes;
};

struct Script {
    LoadedAbc* abc = nullptr;
    uint32_t index = 0;
    Object* global = nullptr;
    Traits traits;
    int state = 0; // 0 waiting, 1 running, 2 done
};

} // namespace avm2
