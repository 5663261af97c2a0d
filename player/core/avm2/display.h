// What event dispatchers and display objects keep, and the entry points the engine's facade
// uses to build the display list from the timeline and to send frame events.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/core/avm2/vm.h"

namespace avm2 {

struct Listener {
    Value fn;
    bool capture = false;
    int priority = 0;
};

// Every EventDispatcher (display objects included) carries one.
struct DisplayData : Extra {
    Object* self = nullptr;
    std::map<std::string, std::vector<Listener>> listeners;
    bool isDisplay = false, isContainer = false, isStage = false;
    Object* parent = nullptr;
    std::vector<Object*> children;
    std::string name;
    double x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0, alpha = 1, width = 0, height = 0;
    bool visible = true;
    double mul[3] = {1, 1, 1}, add[4] = {0, 0, 0, 0}; // colour transform but alpha's multiplier
    uint32_t timeline =
        0; // the timeline object it stands for (on the shelf when off every list), 0 if none
    uint16_t character = 0;  // the library symbol the timeline placed it as, 0 if none
    bool scriptMade = false; // made by `new`: on the stage once added under an object there
    std::vector<timeline::DrawOp> drawing;  // what its Graphics drew, replayed when it is put
    Value graphics;                         // its Graphics, made when first asked for
    std::map<uint32_t, Value> frameScripts; // by 0-based frame
    Value extraData;                        // metaData, Timer state and such
    Value filters;                          // an Array of the filters set (not drawn yet)
    // A script-made TextField's state while it is off the stage (on it, the stage holds it).
    std::unique_ptr<timeline::TextFieldState> field;
    Value bitmapData;                              // a Bitmap's
    swf::BlendMode blend = swf::BlendMode::Normal; // set by a script
    Value loaderInfo;                              // a Loader's contentLoaderInfo
    double boxWidth = 0, boxHeight = 0;            // a Video's own size, when a script made it
    int32_t deblocking = 0;
    bool smoothing = false;
    double timerDelay = 0; // a Timer's
    int32_t timerRepeat = 0, timerCount = 0;
    int timerId = 0;           // the Vm's timer while running
    bool timerTicking = false; // its listeners are being told of a tick
    int32_t tabIndex = -1;
    int8_t tabEnabled = -1; // -1: as its kind has it
    bool tabChildren = true, buttonMode = false, inputText = false;
    bool mouseEnabled = true, doubleClickEnabled = false, mouseChildren = true;
    // A SimpleButton's: its up, over, down and hit test states (the up state shown, as the
    // mouse never comes), whether they were made from its records yet, and its flags.
    Value states[4];
    bool statesBuilt = false;
    bool enabled = true, useHandCursor = true, trackAsMenu = false;
    void Mark(Vm& vm) override;
};

struct EventData : Extra {
    std::string type;
    bool bubbles = false, cancelable = false;
    bool stop = false, stopNow = false, prevented = false;
    int phase = 2;
    Value target, currentTarget;
    void Mark(Vm& vm) override {
        vm.MarkValue(target);
        vm.MarkValue(currentTarget);
    }
};

// The dispatcher data of an EventDispatcher, made when first asked for; null for others.
DisplayData* DispatcherData(const Value& v);
// EventDispatcher's constructor, for native dispatcher classes.
Value DispatcherCtor(Vm& vm, const Value& self, Value* args, int argc);
// Event, its kinds and EventDispatcher; returns EventDispatcher.
ClassInfo* InstallEvents(Vm& vm);
// Sends `event` to `target` through its ancestors; false when its default was prevented.
bool DispatchEvent(Vm& vm, Object* target, const Value& event);
DisplayData* DisplayOf(const Value& v);
// An instance of `c` (a display class) with its display data, before its constructor runs.
Object* NewDisplayObject(Vm& vm, ClassInfo* c, uint32_t timeline);
// The one Stage object.
Object* StageObject(Vm& vm);
void AttachChild(Vm& vm, Object* parent, Object* child, bool events);
void DetachChild(Vm& vm, Object* child, bool events);
// Sends an event of `type` to `target` (capture, target, bubble phases when it bubbles).
void DispatchSimple(Vm& vm, Object* target, const char* type, bool bubbles);
// enterFrame, frameConstructed, exitFrame, render: to every dispatcher listening.
void Broadcast(Vm& vm, const char* type);
// A drawing call on a display object's Graphics: kept, and drawn when it is on the stage.
// False when the object holds as many as a drawing may.
bool DrawInto(Vm& vm, Object* owner, const timeline::DrawOp& op);
void InstallGraphics(Vm& vm, ClassInfo* display);
// MovieClip's frame methods and properties, Scene and FrameLabel.
void InstallMovieClip(Vm& vm, ClassInfo* clip);
void InstallGeom(Vm& vm);
void InstallTimer(Vm& vm, ClassInfo* dispatcher);
void InstallVideo(Vm& vm, ClassInfo* display);
// DisplayObject's constructor, for native display classes.
Value DisplayCtor(Vm& vm, const Value& self, Value* args, int argc);
void InstallFilters(Vm& vm);
// A filter object for one the timeline placed an object with; null for kinds not read.
Value FilterOfTag(Vm& vm, const swf::Filter& f);
// A display object's placement, read from the timeline when it is there, and written back.
DisplayData* ReadPlacement(Vm& vm, const Value& object);
void WritePlacement(Vm& vm, const DisplayData* d);
// A position as Flash keeps it: whole twips, truncated; past the range the lowest.
double WholeTwips(double pixels);
void InstallText(Vm& vm); // TextFormat
// A TextFormat object and the format it stands for (null properties unset).
timeline::TextFormat ToFieldFormat(Vm& vm, const Value& format);
Value FromFieldFormat(Vm& vm, const timeline::TextFormat& f);
// TextField over the stage's field state (its own state while off the stage).
void InstallTextField(Vm& vm, ClassInfo* interactive);
// DisplayObject.transform: a Transform over the object; set, its matrix and colours copied.
Value TransformOf(Vm& vm, const Value& self, Value* args, int argc);
Value SetTransform(Vm& vm, const Value& self, Value* args, int argc);
// The movie's one LoaderInfo (every display object answers with it).
Value MovieLoaderInfo(Vm& vm, const Value& self, Value* args, int argc);
// Classes that reach outside the player, answering as a player with nothing around it.
void InstallOffline(Vm& vm, ClassInfo* dispatcher);
// Gives `use` the timeline id of a display object; one a script holds off the stage is put
// on the timeline for that moment and taken off again, with no events.
void WhileRealized(Vm& vm, Object* obj, const std::function<void(uint32_t)>& use);
// BitmapData and Bitmap over the pixel operations both script runtimes share.
void InstallBitmaps(Vm& vm, ClassInfo* display);
// The pixels of a BitmapData; null for anything else or a disposed one.
const render::ScriptBitmap* BitmapDataOf(const Value& v);
// A filter object as the renderer draws it; false for one it does not know.
bool FilterToTag(Vm& vm, const Value& filter, swf::Filter* out);
// Whether `object` is a Bitmap; if so the pixels it shows (null when none) and smoothing.
bool ShownBitmap(Vm& vm, const Value& object, const render::ScriptBitmap** shown, bool* smooth);
// Natives that answer the same whatever they are asked, for what a player with nothing
// around it leaves undone.
namespace answer {
Value Nothing(Vm& vm, const Value& self, Value* args, int argc);
Value False(Vm& vm, const Value& self, Value* args, int argc);
Value True(Vm& vm, const Value& self, Value* args, int argc);
Value Null(Vm& vm, const Value& self, Value* args, int argc);
Value EmptyArray(Vm& vm, const Value& self, Value* args, int argc);
} // namespace answer
// Classes of constant names (StageScaleMode, Keyboard...), Mouse and ContextMenu.
void InstallNames(Vm& vm, ClassInfo* dispatcher);
Value StopAllMovieClips(Vm& vm, const Value& self, Value* args, int argc);
// The frame script of a clip for a 0-based frame, if one was added.
void RunFrameScript(Vm& vm, Object* clip, uint32_t frame);

} // namespace avm2
