// A display list stand-in for interpreter tests, the fuzzer and the benchmark: clips with
// names, depths and numeric properties, and a log of what scripts asked of the display.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/core/avm1/vm.h"

namespace avm1test {

class FakeDisplay : public avm1::DisplayBridge {
  public:
    struct Clip {
        avm1::ClipId parent = 0;
        std::string name;
        int depth = 0;
        bool text = false;
        double props[int(avm1::DisplayProp::Count)] = {};
        std::shared_ptr<timeline::TextFieldState> field; // text fields
        avm1::ColorTransform color;
        avm1::ClipId mask = 0;
        swf::BlendMode blend = swf::BlendMode::Normal;
    };

    FakeDisplay() { NewClip(0, "", 0); }

    avm1::ClipId NewClip(avm1::ClipId parent, const std::string& name, int depth,
                         bool text = false) {
        avm1::ClipId id = next_++;
        children[parent].push_back(id);
        byName[{parent, Lower(name)}].push_back(id);
        Clip& c = clips[id];
        c.parent = parent;
        c.name = name;
        c.depth = depth;
        c.text = text;
        c.props[int(avm1::DisplayProp::XScale)] = 100;
        c.props[int(avm1::DisplayProp::YScale)] = 100;
        c.props[int(avm1::DisplayProp::Alpha)] = 100;
        c.props[int(avm1::DisplayProp::Visible)] = 1;
        c.props[int(avm1::DisplayProp::CurrentFrame)] = 1;
        c.props[int(avm1::DisplayProp::TotalFrames)] = 10;
        c.props[int(avm1::DisplayProp::Width)] = 10;
        c.props[int(avm1::DisplayProp::Height)] = 10;
        return id;
    }

    avm1::ClipId Root() override { return 1; }
    avm1::ClipId Parent(avm1::ClipId clip) override {
        auto it = clips.find(clip);
        return it == clips.end() ? 0 : it->second.parent;
    }
    avm1::DisplayKind KindOf(avm1::ClipId clip) override {
        auto it = clips.find(clip);
        if (it == clips.end())
            return avm1::DisplayKind::None;
        return it->second.text ? avm1::DisplayKind::Text : avm1::DisplayKind::Clip;
    }
    avm1::ClipId Child(avm1::ClipId parent, const std::string& name, bool cs) override {
        // Scripts ask this on every variable lookup that reaches a timeline: an index.
        auto it = byName.find({parent, Lower(name)});
        if (it == byName.end())
            return 0;
        for (avm1::ClipId id : it->second) {
            auto c = clips.find(id);
            if (c != clips.end() && avm1::NamesEqual(c->second.name, name, cs))
                return id;
        }
        return 0;
    }
    avm1::ClipId ChildAtDepth(avm1::ClipId parent, int depth) override {
        for (avm1::ClipId id : children[parent])
            if (clips.count(id) && clips[id].depth == depth)
                return id;
        return 0;
    }
    avm1::Value Get(avm1::ClipId clip, avm1::DisplayProp prop) override {
        auto it = clips.find(clip);
        if (it == clips.end())
            return avm1::Value();
        if (prop == avm1::DisplayProp::Name)
            return avm1::Value::Str(it->second.name);
        if (prop == avm1::DisplayProp::Depth)
            return avm1::Value::Num(it->second.depth);
        if (prop == avm1::DisplayProp::Visible)
            return avm1::Value::Bool(it->second.props[int(prop)] != 0);
        return avm1::Value::Num(it->second.props[int(prop)]);
    }
    void Set(avm1::ClipId clip, avm1::DisplayProp prop, const avm1::Value& v) override {
        auto it = clips.find(clip);
        if (it == clips.end())
            return;
        if (prop == avm1::DisplayProp::Name) {
            Unindex(clip);
            it->second.name = v.s;
            byName[{it->second.parent, Lower(v.s)}].push_back(clip);
        } else if (prop == avm1::DisplayProp::Visible)
            it->second.props[int(prop)] = v.b ? 1 : 0;
        else if (v.type == avm1::Type::Number)
            it->second.props[int(prop)] = v.n;
    }
    void Navigate(avm1::ClipId clip, avm1::Navigation nav, int frame,
                  const std::string& label) override {
        static const char* const names[] = {"play", "stop", "next", "prev", "goto", "label"};
        std::string entry = clips[clip].name + ":" + names[int(nav)];
        if (nav == avm1::Navigation::GotoFrame)
            entry += " " + std::to_string(frame);
        if (nav == avm1::Navigation::GotoLabel)
            entry += " " + label;
        log.push_back(entry);
        if (onNavigate)
            onNavigate(clip);
    }
    avm1::ClipId Duplicate(avm1::ClipId clip, const std::string& name, int depth) override {
        auto it = clips.find(clip);
        if (it == clips.end() || clip == Root())
            return 0;
        Clip copy = it->second;
        avm1::ClipId id = Place(copy.parent, name, depth);
        copy.name = clips[id].name;
        clips[id] = copy;
        clips[id].depth = depth;
        return id;
    }
    avm1::ClipId Attach(avm1::ClipId parent, const std::string& exportName, const std::string& name,
                        int depth) override {
        if (exportName == "missing")
            return 0;
        return Place(parent, name, depth);
    }
    avm1::ClipId CreateEmpty(avm1::ClipId parent, const std::string& name, int depth) override {
        return Place(parent, name, depth);
    }
    avm1::ClipId CreateText(avm1::ClipId parent, const std::string& name, int depth,
                            const avm1::Bounds&) override {
        avm1::ClipId id = Place(parent, name, depth);
        clips[id].text = true;
        clips[id].field = std::make_shared<timeline::TextFieldState>();
        return id;
    }
    bool Remove(avm1::ClipId clip) override {
        if (clip == Root() || !clips.count(clip))
            return false;
        Unindex(clip);
        clips.erase(clip);
        Removed(clip);
        return true;
    }
    void SwapDepths(avm1::ClipId clip, int depth) override {
        auto it = clips.find(clip);
        if (it == clips.end())
            return;
        for (auto& [id, c] : clips)
            if (id != clip && c.parent == it->second.parent && c.depth == depth)
                c.depth = it->second.depth;
        it->second.depth = depth;
    }
    int NextHighestDepth(avm1::ClipId clip) override {
        int d = -1;
        for (auto& [id, c] : clips)
            if (c.parent == clip)
                d = std::max(d, c.depth);
        return d + 1;
    }
    avm1::Bounds GetBounds(avm1::ClipId clip, avm1::ClipId) override {
        avm1::Bounds b;
        auto it = clips.find(clip);
        if (it != clips.end()) {
            const double* p = it->second.props;
            b.xMin = p[0];
            b.yMin = p[1];
            b.xMax = p[0] + p[int(avm1::DisplayProp::Width)];
            b.yMax = p[1] + p[int(avm1::DisplayProp::Height)];
        }
        return b;
    }
    bool HitTestPoint(avm1::ClipId clip, double x, double y, bool) override {
        avm1::Bounds b = GetBounds(clip, 0);
        return x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
    }
    void Transform(avm1::ClipId clip, double& x, double& y, bool toStage) override {
        for (avm1::ClipId c = clip; c && c != Root(); c = Parent(c)) {
            x += toStage ? clips[c].props[0] : -clips[c].props[0];
            y += toStage ? clips[c].props[1] : -clips[c].props[1];
        }
    }
    void Draw(avm1::ClipId clip, const avm1::DrawCommand& cmd) override {
        static const char* const ops[] = {"clear",  "lineStyle", "beginFill", "gradient",
                                          "moveTo", "lineTo",    "curveTo",   "endFill"};
        std::string entry = clips[clip].name + ":" + ops[cmd.kind];
        if (cmd.kind == avm1::DrawCommand::MoveTo || cmd.kind == avm1::DrawCommand::LineTo)
            entry += " " + avm1::NumberToString(cmd.x) + "," + avm1::NumberToString(cmd.y);
        if (cmd.kind == avm1::DrawCommand::BeginFill)
            entry += " " + std::to_string(cmd.rgb) + "/" + avm1::NumberToString(cmd.alpha);
        if (cmd.kind == avm1::DrawCommand::BeginGradientFill)
            entry += " " + std::to_string(cmd.colors.size());
        log.push_back(entry);
    }
    void SetMask(avm1::ClipId clip, avm1::ClipId mask) override { clips[clip].mask = mask; }
    swf::BlendMode GetBlendMode(avm1::ClipId clip) override { return clips[clip].blend; }
    void SetBlendMode(avm1::ClipId clip, swf::BlendMode b) override { clips[clip].blend = b; }
    avm1::ColorTransform GetColor(avm1::ClipId clip) override { return clips[clip].color; }
    void SetColor(avm1::ClipId clip, const avm1::ColorTransform& c) override {
        clips[clip].color = c;
    }
    timeline::TextFieldState* TextField(avm1::ClipId field) override {
        auto it = clips.find(field);
        return it != clips.end() ? it->second.field.get() : nullptr;
    }
    void TextFieldChanged(avm1::ClipId, bool) override {}
    // Every character 10 pixels wide, every line 20 high.
    avm1::TextMetrics MeasureField(const timeline::TextFieldState& f) override {
        avm1::TextMetrics m;
        m.width = 10.0 * double(f.doc.text().size());
        m.height = 20;
        return m;
    }
    bool StaticTexts(avm1::ClipId clip, std::vector<std::u32string>* out) override {
        auto it = staticTexts.find(clip);
        if (it == staticTexts.end())
            return false;
        *out = it->second;
        return true;
    }
    void StageSize(double& w, double& h) override {
        w = 550;
        h = 400;
    }

    std::map<avm1::ClipId, Clip> clips;
    std::map<avm1::ClipId, std::vector<std::u32string>> staticTexts; // clips that have some
    std::map<avm1::ClipId, std::vector<avm1::ClipId>> children;      // in creation order
    std::map<std::pair<avm1::ClipId, std::string>, std::vector<avm1::ClipId>> byName;
    std::vector<std::string> log;
    std::vector<avm1::ClipId> removed;
    avm1::Vm* vm = nullptr; // told when a clip goes away, as the facade does
    std::function<void(avm1::ClipId)> onNavigate;

  private:
    static std::string Lower(std::string s) {
        for (char& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    void Unindex(avm1::ClipId clip) {
        const Clip& c = clips[clip];
        auto& ids = byName[{c.parent, Lower(c.name)}];
        ids.erase(std::remove(ids.begin(), ids.end(), clip), ids.end());
    }
    void Removed(avm1::ClipId clip) {
        removed.push_back(clip);
        for (auto& [parent, kids] : children)
            kids.erase(std::remove(kids.begin(), kids.end(), clip), kids.end());
        if (vm)
            vm->OnClipRemoved(clip);
    }
    avm1::ClipId Place(avm1::ClipId parent, const std::string& name, int depth) {
        for (auto it = clips.begin(); it != clips.end(); ++it) {
            if (it->second.parent == parent && it->second.depth == depth && it->first != Root()) {
                avm1::ClipId gone = it->first;
                Unindex(gone);
                clips.erase(it);
                Removed(gone);
                break;
            }
        }
        return NewClip(parent, name, depth);
    }
    avm1::ClipId next_ = 1;
};

} // namespace avm1test
