#include "player/core/timeline/dictionary.h"

#include <algorithm>
#include <cctype>

#include "player/core/swf/video_tags.h"

namespace timeline {

namespace {

using swf::Tag;

// Records what a control tag does to the frame being built; false for any other tag.
bool AddControlTag(const Tag& tag, Timeline* timeline, Frame* frame) {
    FrameCommand c;
    switch (tag.code) {
    case swf::kTagPlaceObject:
    case swf::kTagPlaceObject2:
    case swf::kTagPlaceObject3: {
        const int version = tag.code == swf::kTagPlaceObject    ? 1
                            : tag.code == swf::kTagPlaceObject2 ? 2
                                                                : 3;
        if (swf::ReadPlaceObject(tag, version, &c.place)) {
            frame->commands.push_back(std::move(c));
        }
        return true;
    }
    case swf::kTagRemoveObject:
    case swf::kTagRemoveObject2:
        c.remove = true;
        if (swf::ReadRemoveObject(tag, tag.code == swf::kTagRemoveObject ? 1 : 2, &c.depth)) {
            frame->commands.push_back(std::move(c));
        }
        return true;
    case swf::kTagDoAction:
        frame->actions.push_back(swf::ActionBytes{tag.body, tag.length});
        return true;
    case swf::kTagFrameLabel: {
        swf::ByteReader r(tag.body, tag.length);
        frame->label = r.String();
        return true;
    }
    case swf::kTagShowFrame:
        if (timeline->frames.size() < kMaxFrames) {
            timeline->frames.push_back(std::move(*frame));
        }
        *frame = Frame();
        return true;
    default:
        return false;
    }
}

void Finish(Timeline* t, uint32_t declared, Frame* pending) {
    // Commands after the last ShowFrame only count in a timeline that shows none.
    if (t->frames.empty() && (!pending->commands.empty() || !pending->actions.empty())) {
        t->frames.push_back(std::move(*pending));
    }
    const uint32_t shown = static_cast<uint32_t>(t->frames.size());
    t->frameCount = std::min<uint32_t>(std::max<uint32_t>({declared, shown, 1u}), kMaxFrames);
}

void AddVideoFrame(const Tag& tag, Dictionary* dict) {
    swf::VideoFrameTag f;
    Character* c = nullptr;
    if (swf::ReadVideoFrame(tag, &f) && (c = dict->Mutable(f.streamId)) != nullptr &&
        c->kind == Kind::Video) {
        c->video->Add(f);
    }
}

std::shared_ptr<const Timeline> ReadSprite(const Tag& tag, Dictionary* dict) {
    swf::ByteReader r(tag.body, tag.length);
    r.U16();
    const uint16_t declared = r.U16();
    if (!r.Ok()) {
        return nullptr;
    }
    auto t = std::make_shared<Timeline>();
    Frame frame;
    swf::TagIterator tags(r.Current(), r.Remaining());
    Tag inner;
    while (tags.Next(&inner) && inner.code != swf::kTagEnd) {
        if (inner.code == swf::kTagVideoFrame) {
            AddVideoFrame(inner, dict);
        } else {
            AddControlTag(inner, t.get(), &frame); // nested definitions are not allowed
        }
    }
    Finish(t.get(), declared, &frame);
    return t;
}

const uint16_t kTagExportAssets = 56;
const uint16_t kTagFileAttributes = 69;

void ReadExports(const Tag& tag, Dictionary* dict) {
    swf::ByteReader r(tag.body, tag.length);
    const uint16_t count = r.U16();
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        const uint16_t id = r.U16();
        const std::string name = r.String();
        if (r.Ok()) {
            dict->Export(id, name);
        }
    }
}

// Counts a definition's edges against the movie's budget; false (and left out) past it.
bool Charge(size_t edges, LoadedMovie* out) {
    if (edges > kMaxMovieEdges - out->edges) {
        ++out->overBudget;
        return false;
    }
    out->edges += edges;
    return true;
}

bool OutlineTag(uint16_t code) {
    switch (code) {
    case swf::kTagDefineShape:
    case swf::kTagDefineShape2:
    case swf::kTagDefineShape3:
    case swf::kTagDefineShape4:
    case swf::kTagDefineMorphShape:
    case swf::kTagDefineMorphShape2:
    case swf::kTagDefineFont:
    case swf::kTagDefineFont2:
    case swf::kTagDefineFont3:
        return true;
    default:
        return false;
    }
}

bool ReadDefinition(const Tag& tag, const Tag& tablesTag, const std::vector<uint8_t>& jpegTables,
                    LoadedMovie* out) {
    if (out->edges >= kMaxMovieEdges && OutlineTag(tag.code)) {
        ++out->overBudget; // spent: not even read
        return true;
    }
    Character c;
    c.id = swf::DefinitionId(tag);
    switch (tag.code) {
    case swf::kTagDefineShape:
    case swf::kTagDefineShape2:
    case swf::kTagDefineShape3:
    case swf::kTagDefineShape4: {
        const int version = tag.code == swf::kTagDefineShape    ? 1
                            : tag.code == swf::kTagDefineShape2 ? 2
                            : tag.code == swf::kTagDefineShape3 ? 3
                                                                : 4;
        auto s = std::make_shared<swf::Shape>();
        if (!swf::ReadShape(tag, version, s.get())) {
            return false;
        }
        if (!Charge(swf::EdgeCount(*s), out)) {
            return true;
        }
        c.kind = Kind::Shape;
        c.shape = s;
        break;
    }
    case swf::kTagDefineMorphShape:
    case swf::kTagDefineMorphShape2: {
        auto m = std::make_shared<swf::MorphShape>();
        if (!swf::ReadMorphShape(tag, m.get())) {
            return false;
        }
        if (!Charge(swf::EdgeCount(m->start) + swf::EdgeCount(m->end), out)) {
            return true;
        }
        c.kind = Kind::Morph;
        c.morph = m;
        break;
    }
    case swf::kTagDefineBits:
    case swf::kTagDefineBitsJpeg2:
    case swf::kTagDefineBitsJpeg3:
    case swf::kTagDefineBitsLossless:
    case swf::kTagDefineBitsLossless2: {
        auto b = std::make_shared<swf::Bitmap>();
        if (!swf::ReadBitmap(tag, jpegTables, b.get(), true)) {
            return false;
        }
        auto source = std::make_shared<swf::BitmapSource>();
        source->tag = tag;
        source->jpegTables = tablesTag;
        c.kind = Kind::Bitmap;
        c.bitmap = b;
        c.bitmapSource = source;
        break;
    }
    case swf::kTagDefineFont:
    case swf::kTagDefineFont2:
    case swf::kTagDefineFont3: {
        auto f = std::make_shared<swf::Font>();
        const int version = tag.code == swf::kTagDefineFont    ? 1
                            : tag.code == swf::kTagDefineFont2 ? 2
                                                               : 3;
        if (!swf::ReadFont(tag, version, f.get())) {
            return false;
        }
        if (!Charge(swf::EdgeCount(*f), out)) {
            return true;
        }
        c.kind = Kind::Font;
        c.font = f;
        if (!f->name.empty() && out->fontsByName.size() < 4096) {
            std::string key = f->name;
            for (char& ch : key) {
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            }
            out->fontsByName.emplace(key, c.id);
            out->fontsByName.emplace(key + (f->bold ? "|b" : "|") + (f->italic ? "i" : ""), c.id);
        }
        break;
    }
    case swf::kTagDefineText:
    case swf::kTagDefineText2: {
        auto t = std::make_shared<swf::StaticText>();
        if (!swf::ReadStaticText(tag, tag.code == swf::kTagDefineText ? 1 : 2, t.get())) {
            return false;
        }
        c.kind = Kind::Text;
        c.text = t;
        break;
    }
    case swf::kTagDefineEditText: {
        auto t = std::make_shared<swf::EditText>();
        if (!swf::ReadEditText(tag, t.get())) {
            return false;
        }
        c.kind = Kind::EditText;
        c.editText = t;
        out->boundText = out->boundText || !t->variable.empty();
        break;
    }
    case swf::kTagDefineButton:
    case swf::kTagDefineButton2: {
        auto b = std::make_shared<swf::Button>();
        if (!swf::ReadButton(tag, tag.code == swf::kTagDefineButton ? 1 : 2, b.get())) {
            return false;
        }
        c.kind = Kind::Button;
        c.button = b;
        break;
    }
    case swf::kTagDefineButtonCxform: {
        Character* button = out->dictionary.Mutable(c.id);
        if (button == nullptr || tag.length <= 2) {
            return true;
        }
        // A transform cut short is damage: the button keeps the colours it had.
        swf::ByteReader r(tag.body + 2, tag.length - 2);
        swf::ColorTransform cx;
        if (!swf::ReadColorTransformAt(&r, false, &cx)) {
            return false;
        }
        button->buttonCxform = cx;
        return true;
    }
    case swf::kTagDefineSprite: {
        auto t = ReadSprite(tag, &out->dictionary);
        if (!t) {
            return false;
        }
        c.kind = Kind::Sprite;
        c.sprite = t;
        break;
    }
    case swf::kTagDefineVideoStream: {
        auto v = std::make_shared<video::Stream>();
        if (!swf::ReadVideoStream(tag, &v->def)) {
            return false;
        }
        c.kind = Kind::Video;
        c.video = v;
        break;
    }
    case swf::kTagVideoFrame:
        AddVideoFrame(tag, &out->dictionary);
        return true;
    default:
        return true; // not a definition we draw
    }
    out->dictionary.Add(std::move(c));
    return true;
}

} // namespace

const Character* Dictionary::Find(uint16_t id) const {
    auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : &it->second;
}

Character* Dictionary::Mutable(uint16_t id) {
    auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : &it->second;
}

void Dictionary::Export(uint16_t id, const std::string& name) {
    exports_[name] = id;
    if (Character* c = Mutable(id)) {
        c->exportName = name;
    }
}

const Character* Dictionary::Exported(const std::string& name) const {
    auto it = exports_.find(name);
    if (it == exports_.end()) {
        for (it = exports_.begin(); it != exports_.end(); ++it) {
            if (it->first.size() == name.size() &&
                std::equal(name.begin(), name.end(), it->first.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) ==
                           std::tolower(static_cast<unsigned char>(b));
                })) {
                break;
            }
        }
    }
    return it == exports_.end() ? nullptr : Find(it->second);
}

const swf::Font* Dictionary::FindFont(uint16_t id) const {
    const Character* c = Find(id);
    return c != nullptr && c->kind == Kind::Font ? c->font.get() : nullptr;
}

const swf::Bitmap* Dictionary::FindBitmap(uint16_t id) const {
    const Character* c = Find(id);
    return c != nullptr && c->kind == Kind::Bitmap ? c->bitmap.get() : nullptr;
}

const swf::Font* LoadedMovie::FontNamed(const std::string& name, bool bold, bool italic) const {
    std::string key = name;
    for (char& ch : key) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    auto it = fontsByName.find(key + (bold ? "|b" : "|") + (italic ? "i" : ""));
    if (it == fontsByName.end()) {
        it = fontsByName.find(key);
    }
    return it == fontsByName.end() ? nullptr : dictionary.FindFont(it->second);
}

void LoadMovie(const swf::Movie& movie, LoadedMovie* out) {
    out->version = movie.Header().version;
    std::vector<uint8_t> jpegTables;
    Tag tablesTag;
    Frame frame;
    swf::TagIterator tags = movie.Tags();
    Tag tag;
    while (tags.Next(&tag) && tag.code != swf::kTagEnd) {
        if (AddControlTag(tag, &out->main, &frame)) {
            continue;
        }
        if (tag.code == swf::kTagJpegTables) {
            jpegTables.assign(tag.body, tag.body + tag.length);
            tablesTag = tag;
            continue;
        }
        if (tag.code == swf::kTagDoInitAction && tag.length >= 2) {
            out->initActions.push_back(InitAction{swf::DefinitionId(tag),
                                                  static_cast<uint32_t>(out->main.frames.size()),
                                                  swf::ActionBytes{tag.body + 2, tag.length - 2}});
            continue;
        }
        if (tag.code == kTagFileAttributes) {
            out->useNetwork = tag.length >= 1 && (tag.body[0] & 1) != 0;
            continue;
        }
        if (tag.code == kTagExportAssets) {
            ReadExports(tag, &out->dictionary);
            continue;
        }
        if (!ReadDefinition(tag, tablesTag, jpegTables, out)) {
            ++out->skippedDefinitions;
        }
    }
    // A truncated movie has only the frames it shows, whatever its header announced.
    Finish(&out->main, movie.Truncated() ? 0 : movie.Header().frameCount, &frame);
}

} // namespace timeline
