#include "player/core/render/bitmap_cache.h"

namespace render {

namespace {

size_t Bytes(const swf::Bitmap& b) {
    return size_t(b.width) * size_t(b.height) * 4;
}

} // namespace

const swf::Bitmap* BitmapCache::Get(const timeline::Dictionary& dictionary, uint16_t id) {
    const auto found = entries_.find(id);
    if (found != entries_.end()) {
        found->second.drawn = frame_;
        return found->second.pixels.get();
    }
    const timeline::Character* c = dictionary.Find(id);
    if (c == nullptr || c->kind != timeline::Kind::Bitmap || !c->bitmapSource) {
        return nullptr;
    }
    const size_t bytes = Bytes(*c->bitmap);
    Entry entry;
    entry.drawn = frame_;
    if (bytes <= budget_) {
        if (!MakeRoom(bytes)) {
            return nullptr; // everything held is on stage now: perhaps next frame
        }
        std::unique_ptr<swf::Bitmap> b(new swf::Bitmap);
        if (swf::DecodeBitmap(*c->bitmapSource, b.get()) && Bytes(*b) <= budget_ - used_) {
            used_ += Bytes(*b);
            entry.pixels = std::move(b);
        }
    }
    return entries_.emplace(id, std::move(entry)).first->second.pixels.get();
}

bool BitmapCache::MakeRoom(size_t bytes) {
    while (bytes > budget_ - used_) {
        // The bitmap drawn longest ago, if not in this frame.
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.pixels && it->second.drawn < frame_ &&
                (oldest == entries_.end() || it->second.drawn < oldest->second.drawn)) {
                oldest = it;
            }
        }
        if (oldest == entries_.end()) {
            return false;
        }
        used_ -= Bytes(*oldest->second.pixels);
        entries_.erase(oldest);
    }
    return true;
}

void BitmapCache::Clear() {
    entries_.clear();
    used_ = 0;
}

} // namespace render
