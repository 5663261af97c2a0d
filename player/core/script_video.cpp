// What scripts ask of a placed video (the Video object): its smoothing and deblocking over
// the stream's own flags, the decoded picture's size, and clearing the picture.
#include "player/core/script_host.h"

namespace engine {

using avm1::Value;

Value ScriptHost::GetVideoProp(avm1::ClipId id, VideoProp prop) {
    const timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr || !o->video) {
        return Value();
    }
    video::Playback& v = *o->video;
    if (prop == VideoProp::Width || prop == VideoProp::Height) {
        v.Show(o->ratio); // the size is the picture's: decode it if nothing drew it yet
    }
    const swf::VideoStream& def = v.Source().def;
    switch (prop) {
    case VideoProp::Smoothing:
        return Value::Bool(v.smoothing >= 0 ? v.smoothing != 0 : def.smoothing);
    case VideoProp::Deblocking:
        return Value::Num(v.Deblocking());
    case VideoProp::Width:
        return Value::Num(v.DecodedWidth());
    case VideoProp::Height:
        return Value::Num(v.DecodedHeight());
    case VideoProp::Cleared:
        break;
    }
    return Value();
}

void ScriptHost::SetVideoProp(avm1::ClipId id, VideoProp prop, const Value& value) {
    timeline::DisplayObject* o = stage_->Find(id);
    if (o == nullptr || !o->video) {
        return;
    }
    video::Playback& v = *o->video;
    touched_ = true;
    switch (prop) {
    case VideoProp::Smoothing:
        v.smoothing = value.b ? 1 : 0;
        break;
    case VideoProp::Deblocking: {
        // 0 as the stream says, 1 off, 2 and above on; anything else counts as 0.
        const double n = value.n;
        v.SetDeblocking(n >= 1 && n <= 7 ? int(n) : 0);
        break;
    }
    case VideoProp::Cleared:
        v.Clear();
        break;
    case VideoProp::Width:
    case VideoProp::Height:
        break;
    }
}

} // namespace engine
