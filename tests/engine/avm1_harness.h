// Runs assembled action blocks on a Vm over a FakeDisplay and collects trace lines.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/vm.h"
#include "tests/engine/avm1_asm.h"
#include "tests/engine/avm1_fake_display.h"

namespace avm1test {

struct Harness {
    explicit Harness(int version = 7, avm1::Limits limits = avm1::Limits())
        : vm(&display, version, limits) {
        display.vm = &vm;
        vm.SetRandomSeed(42);
        vm.SetClock([this] { return now; });
        vm.SetWallClock([] { return 1136073600000.0; }); // 2006-01-01 00:00:00 UTC
        vm.SetSink([this](avm1::Channel ch, const std::string& line) {
            (ch == avm1::Channel::Trace ? traces : notices).push_back(line);
        });
        vm.BeginFrame();
    }

    // Assembles and runs text as frame actions of clip (the root by default); keeps the
    // bytes alive, since the Vm caches decoded blocks by address.
    avm1::RunResult Run(const std::string& text, avm1::ClipId clip = 1) {
        std::string error;
        auto bytes = std::make_unique<std::vector<uint8_t>>(Assemble(text, &error));
        EXPECT_EQ(error, "") << text;
        const auto* data = bytes.get();
        blocks.push_back(std::move(bytes));
        return vm.RunActions(clip, data->data(), data->size());
    }
    avm1::RunResult RunBytes(std::vector<uint8_t> raw, avm1::ClipId clip = 1) {
        auto bytes = std::make_unique<std::vector<uint8_t>>(std::move(raw));
        const auto* data = bytes.get();
        blocks.push_back(std::move(bytes));
        return vm.RunActions(clip, data->data(), data->size());
    }
    std::string Traces() const {
        std::string out;
        for (const std::string& t : traces)
            out += (out.empty() ? "" : "|") + t;
        return out;
    }

    double now = 0;
    FakeDisplay display;
    avm1::Vm vm;
    std::vector<std::string> traces, notices;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> blocks;
};

} // namespace avm1test
