#include "player/core/video/playback.h"

#include <algorithm>

#include "player/core/video/h263.h"

namespace video {

bool Budget::Take(size_t bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    if (bytes > limit_ - used_) {
        return false;
    }
    used_ += bytes;
    return true;
}

void Budget::Give(size_t bytes) {
    std::lock_guard<std::mutex> hold(lock_);
    used_ -= std::min(used_, bytes);
}

size_t Budget::Used() const {
    std::lock_guard<std::mutex> hold(lock_);
    return used_;
}

void Stream::Add(const swf::VideoFrameTag& tag) {
    if (tag.frame >= def.frameCount) {
        return;
    }
    if (frames.size() <= tag.frame) {
        frames.resize(size_t(tag.frame) + 1);
    }
    StreamFrame& f = frames[tag.frame];
    if (f.data != nullptr) {
        return;
    }
    f.data = tag.data;
    f.size = tag.size;
    f.key = IsKeyframe(def.codec, tag.data, tag.size);
    if (f.key) {
        keyframes.insert(std::upper_bound(keyframes.begin(), keyframes.end(), tag.frame),
                         tag.frame);
    }
}

Playback::Playback(std::shared_ptr<const Stream> stream, Budget* budget)
    : stream_(std::move(stream)), budget_(budget) {
    decoder_ = MakeDecoder(stream_->def.codec, stream_->def.width, stream_->def.height);
}

Playback::~Playback() {
    if (budget_ != nullptr) {
        budget_->Give(held_);
    }
}

void Playback::SetDeblocking(int level) {
    std::lock_guard<std::mutex> hold(lock_);
    redo_ = redo_ || level != deblocking_;
    deblocking_ = level;
}

void Playback::Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    cleared_ = true;
}

bool Playback::DecodeFrame(uint32_t n) {
    const StreamFrame& f = stream_->frames[n];
    if (f.data == nullptr) {
        broken_ = true; // what follows predicts from a frame we never had
        return false;
    }
    if (broken_ && !f.key) {
        return false;
    }
    // The budget is asked before the decoder grows: by the size the frame itself names
    // when the codec says it up front, else by the stream's declared size.
    int w = stream_->def.width, h = stream_->def.height;
    if (stream_->def.codec == uint8_t(swf::VideoCodec::H263)) {
        H263Header header;
        size_t used = 0;
        if (ReadH263Header(f.data, f.size, &header, &used)) {
            w = std::max(w, header.width);
            h = std::max(h, header.height);
        }
    }
    w = std::min(w, kMaxSide);
    h = std::min(h, kMaxSide);
    const size_t need = decoder_->BytesFor(w, h) + size_t(w) * h * 4;
    if (need > held_) {
        if (budget_ != nullptr && !budget_->Take(need - held_)) {
            broken_ = true;
            return false;
        }
        held_ = need;
    }
    const Status s = decoder_->Decode(f.data, f.size);
    decoded_ = n;
    broken_ = s != Status::Ok;
    return !broken_;
}

void Playback::Publish() {
    const Picture& p = decoder_->Current();
    const bool deblock = deblocking_ > 0 ? deblocking_ >= 2
                         : stream_->def.deblocking > 0
                             ? stream_->def.deblocking >= 2
                             : stream_->def.codec == uint8_t(swf::VideoCodec::H263) &&
                                   static_cast<const H263Decoder*>(decoder_.get())->Deblocking();
    ToBitmap(p, deblock, &bitmap_);
    decodedWidth_ = p.width;
    decodedHeight_ = p.height;
    have_ = true;
    cleared_ = false;
}

const swf::Bitmap* Playback::Show(uint32_t ratio) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!decoder_ || stream_->frames.empty()) {
        return nullptr;
    }
    const int64_t target = std::min<int64_t>(ratio, int64_t(stream_->frames.size()) - 1);
    if (target != shownFor_) {
        // From the latest keyframe at or before the target, unless the decoder stands
        // between that keyframe and the target already.
        const auto& keys = stream_->keyframes;
        auto it = std::upper_bound(keys.begin(), keys.end(), uint32_t(target));
        int64_t key = it == keys.begin() ? 0 : int64_t(*(it - 1));
        int64_t from = key;
        if (!broken_ && decoded_ >= key && decoded_ < target) {
            from = decoded_ + 1;
        } else if (decoded_ == target && !broken_) {
            from = target + 1; // there already
        }
        bool any = false;
        for (int64_t n = from; n <= target; ++n) {
            if (DecodeFrame(uint32_t(n))) {
                any = true;
            } else if (n == key && !any && it - keys.begin() >= 2) {
                // A keyframe that does not decode: the group before it shows instead (one
                // step back, so a run of bad keyframes costs one group each).
                --it;
                key = *(it - 1);
                broken_ = false;
                for (int64_t m = key; m < n; ++m) {
                    any = DecodeFrame(uint32_t(m)) || any;
                }
                broken_ = true;
            }
        }
        // A failed frame leaves the decoder's shown picture at the last good one (the
        // screen codec shows the blocks that did decode).
        if (any) {
            Publish();
        }
        shownFor_ = target;
    } else if (redo_ && have_ && !cleared_) {
        Publish();
    }
    redo_ = false;
    return have_ && !cleared_ ? &bitmap_ : nullptr;
}

} // namespace video
