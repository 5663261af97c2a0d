#include "player/core/avm2/unplayed.h"

#include <algorithm>
#include <cstring>

namespace avm2 {

namespace {

struct Known {
    const char* name;
    const char* package;
    unsigned part;
};

const Known kKnown[] = {
    {"XML", "", kUnplayedE4x},
    {"XMLList", "", kUnplayedE4x},
    {"describeType", "flash.utils", kUnplayedE4x},
    {"Loader", "flash.display", kUnplayedLoader},
    {"URLLoader", "flash.net", kUnplayedNetwork},
    {"URLStream", "flash.net", kUnplayedNetwork},
    {"Socket", "flash.net", kUnplayedNetwork},
    {"XMLSocket", "flash.net", kUnplayedNetwork},
    {"NetConnection", "flash.net", kUnplayedNetwork},
    {"NetStream", "flash.net", kUnplayedNetwork},
    {"LocalConnection", "flash.net", kUnplayedNetwork},
    {"FileReference", "flash.net", kUnplayedNetwork},
    {"navigateToURL", "flash.net", kUnplayedNetwork},
    {"sendToURL", "flash.net", kUnplayedNetwork},
};

// Instructions that only E4X code emits: default xml namespace, descendants (..),
// escapes for XML literals, and the filter (.()) check.
bool IsE4xOp(uint8_t op) {
    return op == 0x06 || op == 0x07 || op == 0x59 || op == 0x71 || op == 0x72 || op == 0x78;
}

int PartSlot(unsigned part) {
    return part == kUnplayedE4x ? 0 : part == kUnplayedLoader ? 1 : 2;
}

bool PackageIs(const AbcFile& abc, uint32_t ns, const char* package) {
    if (ns == 0 || ns >= abc.namespaces.size())
        return false;
    const AbcNamespace& n = abc.namespaces[ns];
    if (n.kind != kNsPackage || n.name >= abc.strings.size())
        return false;
    return abc.strings[n.name] == package;
}

// The package a multiname may resolve in: its own namespace, or any of its set's.
bool InPackage(const AbcFile& abc, const AbcMultiname& m, const char* package) {
    if (m.kind == kQName)
        return PackageIs(abc, m.ns, package);
    if (m.kind == kMultiname && m.nsSet < abc.nsSets.size()) {
        for (uint32_t ns : abc.nsSets[m.nsSet])
            if (PackageIs(abc, ns, package))
                return true;
    }
    return false;
}

void Note(UnplayedUse* use, unsigned part, const char* name) {
    use->parts |= part;
    if (!name)
        return;
    std::vector<std::string>& names = use->names[PartSlot(part)];
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

} // namespace

void FindUnplayed(const AbcFile& abc, UnplayedUse* use) {
    for (const AbcMultiname& m : abc.multinames) {
        if ((m.kind != kQName && m.kind != kMultiname) || m.name == 0 ||
            m.name >= abc.strings.size())
            continue;
        const std::string& name = abc.strings[m.name];
        for (const Known& k : kKnown)
            if (name == k.name && InPackage(abc, m, k.package))
                Note(use, k.part, k.name);
    }
    for (const AbcMethodBody& body : abc.bodies)
        for (const AbcInstruction& in : body.code)
            if (IsE4xOp(in.op)) {
                Note(use, kUnplayedE4x, nullptr);
                break;
            }
}

} // namespace avm2
