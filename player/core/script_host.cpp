#include "player/core/script_host.h"

#include <string>

namespace engine {

namespace {
using avm1::Value;
using timeline::DisplayObject;
} // namespace

ScriptHost::ScriptHost(timeline::Stage* stage, const timeline::LoadedMovie* movie, int version,
                       double stageWidth, double stageHeight)
    : stage_(stage), movie_(movie), stageWidth_(stageWidth), stageHeight_(stageHeight),
      since_(std::chrono::steady_clock::now()), measure_(movie) {
    vm_.reset(new avm1::Vm(this, version));
    vm_->SetClock([this] { return Clock(); });
    vm_->SetSink([this](avm1::Channel channel, const std::string& line) {
        const Sink& sink = channel == avm1::Channel::Trace ? traces_ : notices_;
        if (sink) {
            sink(line.c_str());
        }
    });
    boundText_ = movie->boundText;
    vm_->useNetwork = movie->useNetwork;
}

// Movie time for getTimer, plus the real time spent in this frame so far, so a script's
// time budget runs out even while the movie's clock stands still.
double ScriptHost::Clock() {
    const double spent =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since_)
            .count();
    return now_ + spent;
}

void ScriptHost::SetTime(double nowMs) {
    now_ = nowMs;
    since_ = std::chrono::steady_clock::now();
}

bool ScriptHost::TakeTouched() {
    const bool was = touched_ || stage_->TakeChanged();
    touched_ = false;
    return was;
}

void ScriptHost::RunEvents() {
    // Each round's scripts may queue more (a goto, attachMovie); a bound keeps a script
    // that keeps queueing from holding the frame forever.
    for (int round = 0; round < 256 && stage_->HasEvents(); ++round) {
        for (const timeline::StageEvent& e : stage_->TakeEvents()) {
            switch (e.kind) {
            case timeline::StageEvent::Actions:
            case timeline::StageEvent::InitActions:
                if (stage_->Find(e.id) != nullptr) {
                    vm_->RunActions(e.id, e.data, e.size);
                }
                break;
            case timeline::StageEvent::Placed: {
                DisplayObject* o = stage_->Find(e.id);
                if (o == nullptr || o->character == nullptr ||
                    o->character->kind != timeline::Kind::Sprite) {
                    break;
                }
                if (!e.byScript && !o->character->exportName.empty()) {
                    vm_->InitClip(e.id, o->character->exportName);
                }
                if ((o = stage_->Find(e.id)) != nullptr) {
                    vm_->DispatchClipEvent(e.id, avm1::ClipEvent::Load, o->clipActions,
                                           o->clipActionsSize);
                }
                break;
            }
            case timeline::StageEvent::Removed:
                vm_->DispatchClipEvent(e.id, avm1::ClipEvent::Unload, e.data, e.size);
                vm_->OnClipRemoved(e.id);
                break;
            }
        }
    }
}

void ScriptHost::Start() {
    SetTime(0);
    vm_->BeginFrame();
    RunEvents();
    BindText();
    vm_->EndFrame();
    TakeTouched();
}

bool ScriptHost::Frame(double nowMs) {
    SetTime(nowMs);
    vm_->BeginFrame();
    // enterFrame for every clip on stage, parents before children, before the advance.
    clips_.clear();
    clips_.push_back(timeline::kRootId);
    for (size_t i = 0; i < clips_.size(); ++i) {
        timeline::Clip* clip = stage_->ClipOf(clips_[i]);
        if (clip == nullptr) {
            continue;
        }
        for (auto& entry : clip->objects) {
            const DisplayObject& o = entry.second;
            // A button's states may hold clips of their own; the button gets no clip events.
            if (o.clip && o.character != nullptr &&
                (o.character->kind == timeline::Kind::Sprite ||
                 o.character->kind == timeline::Kind::Button)) {
                clips_.push_back(o.id);
            }
        }
    }
    for (uint32_t id : clips_) {
        const DisplayObject* o = stage_->Find(id);
        if (o != nullptr &&
            (o->character == nullptr || o->character->kind != timeline::Kind::Button)) {
            vm_->DispatchClipEvent(id, avm1::ClipEvent::EnterFrame, o->clipActions,
                                   o->clipActionsSize);
        }
    }
    RunEvents();
    if (stage_->Advance()) {
        touched_ = true;
    }
    RunEvents();
    BindText();
    vm_->EndFrame();
    return TakeTouched();
}

// A field naming a variable shows that variable's value; a variable not yet set takes the
// field's text, as Flash sets it when the field appears.
void ScriptHost::BindText() {
    if (boundText_) {
        if (timeline::Clip* root = stage_->ClipOf(timeline::kRootId)) {
            fields_.clear();
            BoundFields(*root);
            BindFields();
        }
    }
}

// The object holding a field's variable, and the variable's name there.
avm1::Object* ScriptHost::VariableOf(const DisplayObject& field, std::string* name) {
    if (!field.field) {
        return nullptr;
    }
    const std::string& var = field.field->variable;
    avm1::Object* scope = vm_->ClipObject(field.parentId);
    const size_t cut = var.find_last_of(".:");
    if (scope != nullptr && cut != std::string::npos) {
        scope = vm_->ResolveTarget(scope, var.substr(0, cut));
    }
    *name = cut == std::string::npos ? var : var.substr(cut + 1);
    return scope;
}

void ScriptHost::BoundFields(const timeline::Clip& clip) {
    for (const auto& entry : clip.objects) {
        const DisplayObject& o = entry.second;
        if (o.clip) {
            BoundFields(*o.clip);
        } else if (o.field && !o.field->variable.empty()) {
            fields_.push_back(o.id);
        }
    }
}

// Reading a variable may run script (a getter) that changes the list, so fields are
// gathered first and looked up again after each read.
void ScriptHost::BindFields() {
    for (uint32_t id : fields_) {
        DisplayObject* o = stage_->Find(id);
        std::string name;
        avm1::Object* scope = o != nullptr ? VariableOf(*o, &name) : nullptr;
        if (scope == nullptr) {
            continue;
        }
        const Value v = vm_->Get(Value::Obj(scope), name);
        if ((o = stage_->Find(id)) == nullptr) {
            continue;
        }
        timeline::TextFieldState* field = o->field.get();
        const std::string shown =
            field->html ? field->doc.ToHtml() : timeline::EncodeUtf8(field->doc.text());
        if (v.type == avm1::Type::Undefined) {
            vm_->Set(Value::Obj(scope), name, Value::Str(shown));
            continue;
        }
        const std::string text = vm_->ToString(v);
        if ((o = stage_->Find(id)) != nullptr && o->field && text != shown) {
            field = o->field.get();
            if (field->html) {
                field->doc.ParseHtml(text, field->multiline, field->condenseWhite, vm_->version());
            } else {
                field->doc.SetPlain(timeline::DecodeUtf8(text));
            }
            if (field->autoSize != 0) {
                field->bounds = FieldBox(*field);
            }
            touched_ = true;
        }
    }
}

} // namespace engine
