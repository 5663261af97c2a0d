// The engine's side of ActionScript 3: loads the movie's ABC blocks into an avm2::Vm, makes
// the display objects scripts see for what the timeline places (symbol classes, the document
// class), and runs each frame in Flash Player's order: enterFrame, the timelines' advance
// (new objects constructed), frameConstructed, frame scripts, exitFrame. Internal to the
// engine.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "player/core/as3_blocks.h"
#include "player/core/avm2/display.h"
#include "player/core/avm2/vm.h"
#include "player/core/script_bitmaps.h"
#include "player/core/text_measure.h"
#include "player/core/timeline/display_list.h"

namespace engine {

class As3Host : public avm2::TimelineBridge {
  public:
    using Sink = std::function<void(const char*)>;
    As3Host(timeline::Stage* stage, const timeline::LoadedMovie* movie, const swf::Movie& file,
            double stageWidth, double stageHeight);
    ~As3Host() override;
    void SetSinks(Sink traces, Sink notices) {
        traces_ = std::move(traces);
        notices_ = std::move(notices);
    }
    // The movie file's length, as its LoaderInfo tells it.
    void SetFileBytes(size_t bytes) { fileBytes_ = bytes; }
    // The first frame: ABC blocks, the document class, frame 1's scripts.
    void Start();
    // One frame; true when the picture may have changed.
    bool Frame(double nowMs);
    // After the host moved the timeline (Play from the end, GoTo): new objects, scripts.
    void RunEvents();
    avm2::Vm& vm() { return *vm_; }
    // Device text's advances, for fields' metrics.
    void SetDeviceGlyphs(render::DeviceGlyphSource source, render::DeviceFontMetrics metrics) {
        measure_.SetDeviceGlyphs(std::move(source), metrics);
    }

    // ---- avm2::TimelineBridge ----
    uint32_t CurrentFrame(uint32_t id) override;
    uint32_t TotalFrames(uint32_t id) override;
    bool Playing(uint32_t id) override;
    void SetPlaying(uint32_t id, bool playing) override;
    void Goto(uint32_t id, uint32_t frame) override;
    int FrameOfLabel(uint32_t id, const std::string& label) override;
    std::string LabelOf(uint32_t id, uint32_t frame) override;
    std::vector<std::pair<std::string, uint32_t>> Labels(uint32_t id) override;
    std::vector<std::pair<std::string, uint32_t>> Scenes(uint32_t id) override;
    bool Bounds(uint32_t id, double* box, bool onStage) override;
    bool Hit(uint32_t id, double x, double y) override;
    bool GetPlacement(uint32_t id, avm2::Placement* p) override;
    void SetPlacement(uint32_t id, const avm2::Placement& p) override;
    uint32_t Realize(uint32_t parent, avm2::Object* obj) override;
    void Unrealize(uint32_t id) override;
    bool HasSymbol(const avm2::ClassInfo* c) override;
    std::vector<swf::Filter> PlacedFilters(uint32_t id) override {
        const timeline::DisplayObject* o = stage_->Find(id);
        return o != nullptr ? o->filters : std::vector<swf::Filter>();
    }
    std::string NewInstanceName() override { return "instance" + std::to_string(++instances_); }
    void Draw(uint32_t id, const timeline::DrawOp& op) override;
    timeline::TextFieldState* TextField(uint32_t id) override;
    void TextFieldChanged(uint32_t id, timeline::TextFieldState& field) override;
    render::FieldMetrics MeasureField(const timeline::TextFieldState& field) override;
    void Restack(const std::vector<uint32_t>& ids) override;
    void Born(avm2::Object* obj) override;
    void BuildChildren(avm2::Object* obj) override;
    bool LibraryBitmap(const avm2::ClassInfo* c, render::ScriptBitmap* out) override;
    void DrawOnto(uint32_t id, render::ScriptBitmap* target, const swf::Affine& m,
                  const swf::ColorTransform& cx, const render::IntRect& clip) override;
    void ShowBitmap(uint32_t id, const render::ScriptBitmap& b, bool smooth) override;
    bool LibraryFont(const avm2::ClassInfo* c, std::string* name, bool* bold,
                     bool* italic) override;
    void SetFilters(uint32_t id, const std::vector<swf::Filter>& filters) override;
    void SetBlendMode(uint32_t id, swf::BlendMode mode) override;

  private:
    struct Block {
        uint32_t frame = 0; // of the main timeline, 0-based
        bool abc = false;   // else SymbolClass
        bool lazy = false;
        const uint8_t* data = nullptr;
        size_t size = 0;
    };
    void LoadFrameBlocks(uint32_t frame);
    void TakeStageEvents();
    void Arrive(const std::vector<avm2::Object*>& made);
    void Build(avm2::Object* obj);
    void BuildStates(avm2::Object* obj);
    bool OnStage(uint32_t id) const;
    void Shelve(uint32_t id);
    void MarkOnStage(avm2::Vm& vm);
    void DropUnreached();
    void TakeRemovals();
    avm2::Object* MakeObject(uint32_t id);
    const timeline::Character* SymbolOf(const avm2::ClassInfo* c);
    swf::Affine StageMatrix(const timeline::DisplayObject& o);
    void FrameScripts();
    double Clock();

    timeline::Stage* stage_;
    const timeline::LoadedMovie* movie_;
    std::unique_ptr<avm2::Vm> vm_;
    Sink traces_, notices_;
    double stageWidth_, stageHeight_, frameRate_;
    int swfVersion_;
    bool useNetwork_ = false;
    size_t fileBytes_ = 0;
    double now_ = 0;
    uint64_t since_; // the instructions run when the clock was last set
    std::vector<Block> blocks_;
    size_t nextBlock_ = 0;
    std::map<uint16_t, std::string> symbols_; // character id -> class name
    std::string documentClass_;
    std::vector<std::pair<std::string, uint32_t>> scenes_; // name, 1-based first frame
    std::vector<std::pair<std::string, uint32_t>> sceneLabels_;
    std::unordered_map<uint32_t, avm2::Object*> objects_; // timeline id -> script object
    std::unordered_map<uint32_t, uint32_t> scriptFrame_;  // clip id -> frame its script ran for
    std::unordered_map<uint32_t, uint32_t> leaving_;      // clip id -> the frame it is leaving
    std::vector<timeline::StageEvent> pending_;           // arrivals waiting for enterFrame
    std::vector<uint32_t> scripting_;                     // clips running their frame script
    std::unordered_map<uint32_t, uint32_t> queuedGoto_;   // clip id -> frame asked for there
    uint32_t instances_ = 0;
    bool started_ = false;
    bool touched_ = false; // a script moved, drew, added or removed something
    // Classes by the library symbol they are bound to (null for none), once looked up.
    std::unordered_map<const avm2::ClassInfo*, const timeline::Character*> symbolOf_;
    // Script objects made but not constructed yet, and the children each holds that wait
    // for its constructor.
    std::unordered_set<avm2::Object*> unbuilt_;
    std::unordered_map<avm2::Object*, std::vector<avm2::Object*>> waiting_;
    size_t shelvedAfterCollect_ = 0; // objects on the shelf when last collected
    int gotoDepth_ = 0;
    TextMeasure measure_{movie_};
    ScriptBitmaps bitmaps_{stage_, movie_};
};

} // namespace engine
