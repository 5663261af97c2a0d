#include "player/core/sound/library.h"

#include <algorithm>
#include <cctype>

#include "player/core/swf/characters.h"

namespace sound {

namespace {

const uint16_t kTagExportAssets = 56;
const uint16_t kTagSymbolClass = 76;
const uint32_t kMaxFrames = 65535;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

StreamBlock ReadBlock(const swf::Tag& tag, swf::SoundCoding coding) {
    StreamBlock b;
    b.data = tag.body;
    b.size = tag.length;
    if (coding == swf::SoundCoding::Mp3) {
        swf::ByteReader r(tag.body, tag.length);
        r.U16(); // samples in the block: the frames say it themselves
        b.seek = r.S16();
        b.data = r.Ok() ? r.Current() : nullptr;
        b.size = r.Ok() ? uint32_t(r.Remaining()) : 0;
    }
    return b;
}

} // namespace

void Library::ReadTimeline(swf::TagIterator tags, uint16_t spriteId, bool main) {
    TimelineSounds t;
    bool any = false;
    uint32_t frame = 0;
    swf::Tag tag;
    while (tags.Next(&tag) && tag.code != swf::kTagEnd && frame < kMaxFrames) {
        switch (tag.code) {
        case swf::kTagShowFrame:
            ++frame;
            break;
        case swf::kTagStartSound:
        case swf::kTagStartSound2: {
            swf::StartSound s;
            if (!swf::ReadStartSound(tag, &s)) {
                ++skipped_;
                break;
            }
            t.starts[frame].push_back(std::move(s));
            any = true;
            break;
        }
        case swf::kTagSoundStreamHead:
        case swf::kTagSoundStreamHead2:
            // One stream per timeline; a second head restates the first.
            if (!t.hasStream) {
                t.hasStream = swf::ReadStreamHead(tag, &t.stream.head);
                skipped_ += t.hasStream ? 0 : 1;
                any = any || t.hasStream;
            }
            break;
        case swf::kTagSoundStreamBlock:
            if (t.hasStream) {
                t.stream.blocks[frame] = ReadBlock(tag, t.stream.head.format.coding);
            }
            break;
        default:
            if (!main) {
                break;
            }
            if (tag.code == swf::kTagDefineSound) {
                EventSound s;
                if (!swf::ReadDefineSound(tag, &s.def)) {
                    ++skipped_;
                    break;
                }
                s.data = s.def.data;
                s.size = s.def.size;
                if (s.def.format.coding == swf::SoundCoding::Mp3 && s.size >= 2) {
                    s.seek = int16_t(s.data[0] | (s.data[1] << 8));
                    s.data += 2;
                    s.size -= 2;
                }
                sounds_[s.def.id] = s;
            } else if (tag.code == swf::kTagDefineButtonSound) {
                swf::ButtonSounds b;
                if (swf::ReadButtonSounds(tag, &b)) {
                    buttons_[b.buttonId] = b;
                } else {
                    ++skipped_;
                }
            } else if (tag.code == swf::kTagDefineSprite && tag.length >= 4) {
                ReadTimeline(swf::TagIterator(tag.body + 4, tag.length - 4), swf::DefinitionId(tag),
                             false);
            } else if (tag.code == kTagExportAssets || tag.code == kTagSymbolClass) {
                swf::ByteReader r(tag.body, tag.length);
                const uint16_t count = r.U16();
                for (uint16_t i = 0; i < count && r.Ok(); ++i) {
                    const uint16_t id = r.U16();
                    std::string name = r.String();
                    auto it = sounds_.find(id);
                    if (r.Ok() && it != sounds_.end()) {
                        (tag.code == kTagSymbolClass ? it->second.className
                                                     : it->second.exportName) = std::move(name);
                    }
                }
            }
            break;
        }
    }
    if (any) {
        timelines_[spriteId] = std::move(t);
    }
}

void Library::Load(const swf::Movie& movie) {
    *this = Library();
    ReadTimeline(movie.Tags(), 0, true);
}

const EventSound* Library::Find(uint16_t id) const {
    auto it = sounds_.find(id);
    return it == sounds_.end() ? nullptr : &it->second;
}

const EventSound* Library::Exported(const std::string& name) const {
    const EventSound* loose = nullptr;
    for (const auto& entry : sounds_) {
        if (entry.second.exportName == name) {
            return &entry.second;
        }
        if (loose == nullptr && SameIgnoringCase(entry.second.exportName, name)) {
            loose = &entry.second;
        }
    }
    return name.empty() ? nullptr : loose;
}

const EventSound* Library::OfClass(const std::string& className) const {
    for (const auto& entry : sounds_) {
        if (!className.empty() && entry.second.className == className) {
            return &entry.second;
        }
    }
    return nullptr;
}

const TimelineSounds* Library::Timeline(uint16_t spriteId) const {
    auto it = timelines_.find(spriteId);
    return it == timelines_.end() ? nullptr : &it->second;
}

const swf::ButtonSounds* Library::Button(uint16_t id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : &it->second;
}

} // namespace sound
