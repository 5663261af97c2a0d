// libFuzzer target for XML: the first byte picks ignoreWhite, the version and how much
// memory the parser may use; the rest is XML text, parsed alone and then through the XML
// class (parseXML, toString, a deep clone, the written text read back) on a small heap.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "player/core/avm1/vm.h"
#include "player/core/avm1/xml_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool ignoreWhite = data[0] & 1;
    const int version = data[0] & 2 ? 8 : 6;
    const size_t budget = size_t(1) << (10 + (data[0] >> 4)); // 1 KB .. 32 MB
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    avm1::xml::Parsed parsed = avm1::xml::Parse(text, ignoreWhite, version >= 7, budget);
    for (size_t i = 0; i < parsed.nodes.size(); i++)
        if (parsed.nodes[i].parent >= int32_t(i))
            __builtin_trap(); // parents come before their children

    static std::unique_ptr<avm1::Vm> vms[2];
    static int uses = 0;
    std::unique_ptr<avm1::Vm>& vm = vms[version == 8];
    if (!vm || ++uses % 256 == 0) {
        avm1::Limits limits;
        limits.memoryBytes = 8u << 20;
        limits.maxStringBytes = 1u << 20;
        vm = std::make_unique<avm1::Vm>(nullptr, version, limits);
    }
    vm->BeginFrame();
    avm1::Value ctor = vm->GetProp(vm->global(), "XML");
    avm1::Value doc = vm->Construct(ctor, nullptr, 0);
    vm->Set(doc, "ignoreWhite", avm1::Value::Bool(ignoreWhite));
    avm1::Value arg = avm1::Value::Str(text);
    vm->CallMethod(doc, "parseXML", &arg, 1);
    avm1::Value written = avm1::Value::Str(vm->ToString(doc));
    avm1::Value deep = avm1::Value::Bool(true);
    vm->CallMethod(doc, "cloneNode", &deep, 1);
    vm->CallMethod(doc, "parseXML", &written, 1);
    vm->EndFrame(); // collects once garbage has piled up, as in a movie
    return 0;
}
