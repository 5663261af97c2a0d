#include "player/core/swf/sound_tags.h"

namespace swf {

namespace {
const uint32_t kRates[4] = {5512, 11025, 22050, 44100};
}

// Byte: format in the high four bits, then rate (2), size (1), type (1).
bool ReadSoundFormat(uint8_t byte, SoundFormat* format) {
    const uint8_t coding = byte >> 4;
    if (coding > 6 && coding != 11) {
        return false;
    }
    format->coding = static_cast<SoundCoding>(coding);
    format->rate = kRates[(byte >> 2) & 3];
    format->bits = (byte & 2) ? 16 : 8;
    format->channels = (byte & 1) ? 2 : 1;
    // Nellymoser's fixed-rate forms state their rate in the format, not the rate bits.
    if (format->coding == SoundCoding::Nellymoser16k) {
        format->rate = 16000;
    } else if (format->coding == SoundCoding::Nellymoser8k) {
        format->rate = 8000;
    }
    // ADPCM and MP3 always decode to 16 bits; only PCM's size matters.
    return true;
}

bool ReadSoundInfo(ByteReader* r, SoundInfo* info) {
    const uint8_t flags = r->U8();
    info->stop = (flags & 0x20) != 0;
    info->noMultiple = (flags & 0x10) != 0;
    info->hasIn = (flags & 0x01) != 0;
    info->hasOut = (flags & 0x02) != 0;
    if (info->hasIn) {
        info->in = r->U32();
    }
    if (info->hasOut) {
        info->out = r->U32();
    }
    if (flags & 0x04) {
        info->loops = r->U16();
    }
    if (flags & 0x08) {
        const uint8_t count = r->U8();
        info->envelope.clear();
        for (uint8_t i = 0; i < count && r->Ok(); ++i) {
            EnvelopePoint p;
            p.position = r->U32();
            p.left = r->U16();
            p.right = r->U16();
            info->envelope.push_back(p);
        }
    }
    return r->Ok();
}

bool ReadDefineSound(const Tag& tag, SoundDefinition* out) {
    ByteReader r(tag.body, tag.length);
    out->id = r.U16();
    const uint8_t format = r.U8();
    out->sampleCount = r.U32();
    if (!r.Ok() || !ReadSoundFormat(format, &out->format)) {
        return false;
    }
    out->data = r.Current();
    out->size = static_cast<uint32_t>(r.Remaining());
    return true;
}

bool ReadStartSound(const Tag& tag, StartSound* out) {
    ByteReader r(tag.body, tag.length);
    if (tag.code == kTagStartSound2) {
        out->className = r.String();
    } else {
        out->id = r.U16();
    }
    return r.Ok() && ReadSoundInfo(&r, &out->info);
}

bool ReadStreamHead(const Tag& tag, StreamHead* out) {
    ByteReader r(tag.body, tag.length);
    r.U8(); // the playback format the author suggested; the stream's own is what counts
    const uint8_t format = r.U8();
    out->samplesPerFrame = r.U16();
    if (!r.Ok() || !ReadSoundFormat(format, &out->format)) {
        return false;
    }
    if (out->format.coding == SoundCoding::Mp3 && r.Remaining() >= 2) {
        out->latencySeek = r.S16();
    }
    return true;
}

bool ReadButtonSounds(const Tag& tag, ButtonSounds* out) {
    ByteReader r(tag.body, tag.length);
    out->buttonId = r.U16();
    for (int i = 0; i < 4 && r.Ok(); ++i) {
        out->soundIds[i] = r.U16();
        if (out->soundIds[i] != 0 && !ReadSoundInfo(&r, &out->info[i])) {
            return false;
        }
    }
    return r.Ok();
}

} // namespace swf
