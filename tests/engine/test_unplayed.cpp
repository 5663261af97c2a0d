// What the wizard tells an author before a screen saver is made: the ActionScript 3 parts a
// movie uses that the player leaves out, found by reference and never by a string's text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/core/avm2/unplayed.h"
#include "player/core/engine.h"

namespace {

using namespace avm2;

// A block whose pool holds `name` once, referred to as `kind` in `package` (or only as a
// string constant when kind is 0), and one body made of `ops`.
AbcFile BlockNaming(const char* name, const char* package, uint8_t kind,
                    std::vector<uint8_t> ops = {}) {
    AbcFile abc;
    abc.strings = {"", name, package};
    abc.namespaces = {AbcNamespace(), AbcNamespace{kNsPackage, 2}, AbcNamespace{kNsPrivate, 2}};
    abc.nsSets = {{}, {3, 1}};
    AbcMultiname any, m;
    m.kind = kind;
    m.name = 1;
    m.ns = kind == kQName ? 1 : 0;
    m.nsSet = kind == kMultiname ? 1 : 0;
    abc.multinames = {any};
    if (kind)
        abc.multinames.push_back(m);
    AbcMethodBody body;
    for (uint8_t op : ops) {
        AbcInstruction in;
        in.op = op;
        body.code.push_back(in);
    }
    abc.bodies.push_back(body);
    return abc;
}

TEST(Unplayed, NamesReferencesInTheirPackagesOnly) {
    const struct {
        const char* name;
        const char* package;
        uint8_t kind;
        std::vector<uint8_t> ops;
        unsigned parts;
        const char* found; // the first name of the part found
    } rows[] = {
        {"XML", "", kQName, {}, kUnplayedE4x, "XML"},
        {"XMLList", "", kMultiname, {}, kUnplayedE4x, "XMLList"},
        {"describeType", "flash.utils", kQName, {}, kUnplayedE4x, "describeType"},
        {"Loader", "flash.display", kMultiname, {}, kUnplayedLoader, "Loader"},
        {"URLLoader", "flash.net", kQName, {}, kUnplayedNetwork, "URLLoader"},
        {"navigateToURL", "flash.net", kMultiname, {}, kUnplayedNetwork, "navigateToURL"},
        // An author's own class of the same name, a name in a private namespace, a string
        // constant, an attribute reference and a late-bound name are not the player's.
        {"Loader", "com.example", kQName, {}, 0, nullptr},
        {"XML", "", 0, {0x2C /* pushstring */}, 0, nullptr},
        {"XML", "", kQNameA, {}, 0, nullptr},
        {"XML", "", kRTQName, {}, 0, nullptr},
        // E4X instructions alone: descendants, a literal's escapes, a filter, dxns.
        {"x", "", kQName, {0x59}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x24, 0x71}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x72}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x78}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x06}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x07}, kUnplayedE4x, nullptr},
        {"x", "", kQName, {0x58, 0x5A}, 0, nullptr},
    };
    for (const auto& r : rows) {
        UnplayedUse use;
        FindUnplayed(BlockNaming(r.name, r.package, r.kind, r.ops), &use);
        EXPECT_EQ(r.parts, use.parts) << r.name << " in '" << r.package << "'";
        const int slot = r.parts == kUnplayedLoader ? 1 : r.parts == kUnplayedNetwork ? 2 : 0;
        if (r.found) {
            ASSERT_EQ(1u, use.names[slot].size()) << r.name;
            EXPECT_EQ(r.found, use.names[slot][0]);
        } else {
            EXPECT_TRUE(use.names[0].empty() && use.names[1].empty() && use.names[2].empty())
                << r.name;
        }
    }
}

TEST(Unplayed, NamesAccumulateOnceEachAcrossBlocks) {
    UnplayedUse use;
    FindUnplayed(BlockNaming("XMLList", "", kQName), &use);
    FindUnplayed(BlockNaming("XML", "", kQName), &use);
    FindUnplayed(BlockNaming("XMLList", "", kMultiname), &use);
    FindUnplayed(BlockNaming("Socket", "flash.net", kQName), &use);
    EXPECT_EQ(kUnplayedE4x | kUnplayedNetwork, use.parts);
    EXPECT_EQ((std::vector<std::string>{"XMLList", "XML"}), use.names[0]);
    EXPECT_EQ((std::vector<std::string>{"Socket"}), use.names[2]);
}

std::vector<uint8_t> ReadMovie(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Whole movies through the facade: Flash's own test movies where the shared folder is, and
// what no movie reader accepts.
TEST(Unplayed, WholeMoviesArePhrasedForTheAuthor) {
    const std::string shared = FLICKWELL_MOVIES_DIR;
    const struct {
        std::string path;
        std::vector<std::string> phrases;
    } rows[] = {
        {shared + "/as3-traces/xml_attribute.swf", {"E4X (XML, XMLList)"}},
        {shared + "/as3-traces/loader_loadbytes_url.swf", {"Loader", "network (URLLoader)"}},
        {shared + "/as3-traces/netstream_client.swf", {"network (NetConnection, NetStream)"}},
        {shared + "/as3-traces/accessibility.swf", {}},
        {shared + "/avm1_tell_target.swf", {}},
    };
    for (const auto& r : rows) {
        const std::vector<uint8_t> movie = ReadMovie(r.path);
        if (movie.empty())
            continue; // the shared folder is not beside this tree
        EXPECT_EQ(r.phrases, engine::PartsNotPlayed(movie.data(), movie.size())) << r.path;
    }
    const uint8_t junk[] = {'F', 'W', 'S', 9, 1, 0, 0, 0};
    EXPECT_TRUE(engine::PartsNotPlayed(junk, sizeof junk).empty());
    EXPECT_TRUE(engine::PartsNotPlayed(nullptr, 0).empty());
}

} // namespace
