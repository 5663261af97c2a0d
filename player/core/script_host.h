// The engine's side of the interpreter: owns the Vm, shows it the stage's display objects
// (the bridge), and runs each frame's scripts in Flash's order. Internal to the engine.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "player/core/avm1/vm.h"
#include "player/core/render/renderer.h"
#include "player/core/render/text_layout.h"
#include "player/core/script_bitmaps.h"
#include "player/core/text_measure.h"
#include "player/core/timeline/display_list.h"

namespace render {
class Renderer;
}

namespace engine {

class ScriptHost : public avm1::DisplayBridge {
  public:
    using Sink = std::function<void(const char*)>;
    // trace() lines go to `traces`, notices (refused calls, abandoned scripts) to `notices`.
    ScriptHost(timeline::Stage* stage, const timeline::LoadedMovie* movie, int version,
               double stageWidth, double stageHeight);
    void SetSinks(Sink traces, Sink notices) {
        traces_ = std::move(traces);
        notices_ = std::move(notices);
    }

    // Runs what the stage recorded (actions, load and unload) until nothing is left.
    void RunEvents();
    // The first frame's scripts, after the stage started.
    void Start();
    // One frame: timers, enterFrame, the timelines' advance, their scripts, bound text.
    // `nowMs` is movie time (getTimer). True when the picture may have changed.
    bool Frame(double nowMs);
    void SetTime(double nowMs);
    // True (once) when a script changed something drawn.
    bool TakeTouched();
    avm1::Vm& vm() { return *vm_; }
    // Device text's advances, for fields' metrics (none: device text measures nothing).
    void SetDeviceGlyphs(render::DeviceGlyphSource source, render::DeviceFontMetrics metrics) {
        measure_.SetDeviceGlyphs(std::move(source), metrics);
    }

    // ---- avm1::DisplayBridge ----
    avm1::ClipId Root() override { return timeline::kRootId; }
    avm1::ClipId Parent(avm1::ClipId clip) override;
    avm1::DisplayKind KindOf(avm1::ClipId clip) override;
    avm1::ClipId Child(avm1::ClipId parent, const std::string& name, bool caseSensitive) override;
    avm1::ClipId ChildAtDepth(avm1::ClipId parent, int depth) override;
    avm1::Value Get(avm1::ClipId clip, avm1::DisplayProp prop) override;
    void Set(avm1::ClipId clip, avm1::DisplayProp prop, const avm1::Value& value) override;
    void Navigate(avm1::ClipId clip, avm1::Navigation nav, int frame,
                  const std::string& label) override;
    avm1::ClipId Duplicate(avm1::ClipId clip, const std::string& name, int depth) override;
    avm1::ClipId Attach(avm1::ClipId parent, const std::string& exportName, const std::string& name,
                        int depth) override;
    avm1::ClipId CreateEmpty(avm1::ClipId parent, const std::string& name, int depth) override;
    avm1::ClipId CreateText(avm1::ClipId parent, const std::string& name, int depth,
                            const avm1::Bounds& box) override;
    bool Remove(avm1::ClipId clip) override;
    void SwapDepths(avm1::ClipId clip, int depth) override;
    int NextHighestDepth(avm1::ClipId clip) override;
    avm1::Bounds GetBounds(avm1::ClipId clip, avm1::ClipId space) override;
    bool HitTestPoint(avm1::ClipId clip, double x, double y, bool shape) override;
    void Transform(avm1::ClipId clip, double& x, double& y, bool toStage) override;
    void Draw(avm1::ClipId clip, const avm1::DrawCommand& command) override;
    void SetMask(avm1::ClipId clip, avm1::ClipId mask) override;
    avm1::ColorTransform GetColor(avm1::ClipId clip) override;
    void SetColor(avm1::ClipId clip, const avm1::ColorTransform& color) override;
    timeline::TextFieldState* TextField(avm1::ClipId field) override;
    void TextFieldChanged(avm1::ClipId field, bool textChanged) override;
    bool StaticTexts(avm1::ClipId clip, std::vector<std::u32string>* out) override;
    avm1::TextMetrics MeasureField(const timeline::TextFieldState& field) override;
    void StageSize(double& width, double& height) override;
    // Flash 8 (script_flash8.cpp)
    bool GetMatrix(avm1::ClipId clip, swf::Affine* m) override;
    void SetMatrix(avm1::ClipId clip, const swf::Affine& m) override;
    bool GetScale9(avm1::ClipId clip, avm1::Bounds* grid) override;
    void SetScale9(avm1::ClipId clip, const avm1::Bounds* grid) override;
    std::vector<swf::Filter> GetFilters(avm1::ClipId clip) override;
    void SetFilters(avm1::ClipId clip, const std::vector<swf::Filter>& filters) override;
    swf::BlendMode GetBlendMode(avm1::ClipId clip) override;
    void SetBlendMode(avm1::ClipId clip, swf::BlendMode mode) override;
    avm1::ClipId AttachBitmap(avm1::ClipId parent, const render::ScriptBitmap& bitmap, int depth,
                              bool smooth) override;
    bool LoadBitmap(const std::string& name, render::ScriptBitmap* out) override;
    void DrawOnto(avm1::ClipId source, render::ScriptBitmap* target, const swf::Affine& m,
                  const swf::ColorTransform& cx, const render::IntRect& clip, bool smooth) override;
    avm1::Value GetVideoProp(avm1::ClipId video, VideoProp prop) override;
    void SetVideoProp(avm1::ClipId video, VideoProp prop, const avm1::Value& value) override;

  private:
    double Clock();
    void BindText();
    void BoundFields(const timeline::Clip& clip);
    void BindFields();
    avm1::Object* VariableOf(const timeline::DisplayObject& field, std::string* name);
    swf::Rect FieldBox(const timeline::TextFieldState& field);
    void Decompose(timeline::DisplayObject& o);
    void Recompose(timeline::DisplayObject& o);
    void SetFieldSize(timeline::DisplayObject& o, bool width, double v);
    std::string TargetOf(uint32_t id);

    timeline::Stage* stage_;
    const timeline::LoadedMovie* movie_;
    std::unique_ptr<avm1::Vm> vm_;
    Sink traces_, notices_;
    double stageWidth_, stageHeight_;
    double now_ = 0;
    std::chrono::steady_clock::time_point since_;
    bool touched_ = false;
    bool boundText_ = false;       // some edit text names a variable
    std::vector<uint32_t> clips_;  // scratch: the clips enterFrame visits
    std::vector<uint32_t> fields_; // scratch: edit texts bound to variables
    TextMeasure measure_;
    ScriptBitmaps bitmaps_{stage_, movie_}; // attached, loaded and drawn into by BitmapData
};

} // namespace engine
