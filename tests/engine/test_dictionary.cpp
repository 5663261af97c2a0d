// The movie's dictionary as scripts reach into it: export names found exactly first, then
// ignoring case.
#include <gtest/gtest.h>

#include "player/core/timeline/dictionary.h"

namespace {

// Two exports that differ only in case, and a third: an exact name wins over one that
// matches ignoring case; otherwise the first such (in name order) answers.
TEST(Dictionary, ExportsFoundExactlyThenIgnoringCase) {
    timeline::Dictionary d;
    const struct {
        uint16_t id;
        const char* name;
    } exports[] = {{1, "box"}, {2, "Box"}, {3, "Ball"}};
    for (const auto& e : exports) {
        timeline::Character c;
        c.kind = timeline::Kind::Sprite;
        c.id = e.id;
        d.Add(c);
        d.Export(e.id, e.name);
    }
    const struct {
        const char* name;
        uint16_t id; // 0: none
    } rows[] = {{"box", 1},  {"Box", 2}, {"BOX", 2},   {"bOx", 2}, {"ball", 3},
                {"Ball", 3}, {"bal", 0}, {"balls", 0}, {"", 0}};
    for (const auto& r : rows) {
        const timeline::Character* c = d.Exported(r.name);
        EXPECT_EQ(c != nullptr ? c->id : 0, r.id) << r.name;
    }
}

} // namespace
