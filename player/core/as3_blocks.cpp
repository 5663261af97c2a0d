#include "player/core/as3_blocks.h"

#include "player/core/avm2/unplayed.h"
#include "player/core/engine.h"

namespace engine {

bool AbcOfTag(const swf::Tag& tag, const uint8_t** data, size_t* size, bool* lazy) {
    *data = tag.body;
    *size = tag.length;
    *lazy = false;
    if (tag.code == kTagDoAbc1)
        return true;
    if (tag.code != kTagDoAbc || tag.length < 5)
        return false;
    // Flags, then a name up to its terminator, then the block.
    *lazy = (tag.body[0] & 1) != 0;
    size_t at = 4;
    while (at < tag.length && tag.body[at] != 0)
        ++at;
    if (at >= tag.length)
        return false;
    *data = tag.body + at + 1;
    *size = tag.length - at - 1;
    return true;
}

std::vector<std::string> PartsNotPlayed(const uint8_t* data, size_t size) noexcept {
    std::vector<std::string> phrases;
    // Outside any player: a tool asks, and not knowing is no reason to hold its user up.
    const MemoryGuard guard;
    if (!guard.Held())
        return phrases;
    {
        swf::Movie movie;
        if (swf::ReadMovie(data, size, &movie) != swf::ReadStatus::Ok || !UsesActionScript3(movie))
            return phrases;
        avm2::UnplayedUse use;
        swf::TagIterator it = movie.Tags();
        swf::Tag tag;
        while (it.Next(&tag)) {
            const uint8_t* abcData = nullptr;
            size_t abcSize = 0;
            bool lazy = false;
            avm2::AbcFile abc;
            if ((tag.code == kTagDoAbc || tag.code == kTagDoAbc1) &&
                AbcOfTag(tag, &abcData, &abcSize, &lazy) &&
                avm2::ReadAbc(abcData, abcSize, &abc) == avm2::AbcStatus::Ok)
                avm2::FindUnplayed(abc, &use);
        }
        static const char* const parts[] = {"E4X", "Loader", "network"};
        for (int i = 0; i < 3; ++i) {
            if (!(use.parts & (1u << i)))
                continue;
            std::string phrase = parts[i];
            const std::vector<std::string>& names = use.names[i];
            // Loader names itself; the others say what was found.
            if (i != 1 && !names.empty()) {
                phrase += " (";
                for (size_t n = 0; n < names.size(); ++n)
                    phrase += (n ? ", " : "") + names[n];
                phrase += ")";
            }
            phrases.push_back(phrase);
        }
    }
    if (guard.Refused())
        phrases.clear();
    return phrases;
}

bool UsesActionScript3(const swf::Movie& movie) {
    if (movie.Header().version < 9)
        return false;
    swf::TagIterator it = movie.Tags();
    swf::Tag tag;
    while (it.Next(&tag)) {
        if (tag.code == kTagFileAttributes)
            return tag.length >= 1 && (tag.body[0] & 0x08) != 0;
        if (tag.code == swf::kTagShowFrame)
            break;
    }
    return false;
}

} // namespace engine
