// The one geometry: shape point tests by fills and lines, a morph's bounds at its ratio,
// and hit tests that follow the shape rather than its box.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

#include "player/core/swf/characters.h"
#include "player/core/swf/movie_reader.h"
#include "player/core/swf/records.h"
#include "player/core/timeline/bounds.h"

namespace {

// A closed polygon as fill1 edges of style 1 (twips).
swf::Shape Polygon(std::initializer_list<std::pair<int, int>> pts) {
    swf::Shape s;
    s.groups.emplace_back();
    s.groups[0].fills.emplace_back();
    std::vector<std::pair<int, int>> p(pts);
    for (size_t i = 0; i < p.size(); ++i) {
        swf::Edge e;
        e.x0 = p[i].first;
        e.y0 = p[i].second;
        e.x1 = p[(i + 1) % p.size()].first;
        e.y1 = p[(i + 1) % p.size()].second;
        e.fill1 = 1;
        s.groups[0].edges.push_back(e);
        s.bounds.xMin = std::min(s.bounds.xMin, e.x0);
        s.bounds.xMax = std::max(s.bounds.xMax, e.x0);
        s.bounds.yMax = std::max(s.bounds.yMax, e.y0);
    }
    return s;
}

// An L: 0..200 wide at the bottom (y 100..200), 0..100 wide above.
const swf::Shape kL = Polygon({{0, 0}, {100, 0}, {100, 100}, {200, 100}, {200, 200}, {0, 200}});

// The same L whether its edges carry the fill on their right (fill1) or, drawn the other
// way round, on their left (fill0).
TEST(Geometry, ShapeContainsFollowsTheFill) {
    swf::Shape leftHanded = kL;
    for (swf::Edge& e : leftHanded.groups[0].edges) {
        std::swap(e.fill0, e.fill1);
    }
    const struct {
        double x, y;
        bool in;
    } rows[] = {{50, 50, true},   {150, 150, true},  {150, 50, false}, // the notch is outside
                {199, 199, true}, {201, 150, false}, {-1, 100, false}, {100.5, 99, false}};
    const swf::Shape* const shapes[] = {&kL, &leftHanded};
    for (const swf::Shape* s : shapes) {
        for (const auto& r : rows) {
            EXPECT_EQ(swf::ShapeContains(*s, r.x, r.y), r.in)
                << r.x << "," << r.y << (s == &kL ? " fill1" : " fill0");
        }
    }
}

TEST(Geometry, EdgeWithTheStyleOnBothSidesDoesNotSplitIt) {
    swf::Shape s = Polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    swf::Edge inner; // a seam through the middle with style 1 on both sides
    inner.x0 = 50;
    inner.y0 = 0;
    inner.x1 = 50;
    inner.y1 = 100;
    inner.fill0 = inner.fill1 = 1;
    s.groups[0].edges.push_back(inner);
    EXPECT_TRUE(swf::ShapeContains(s, 25, 50));
    EXPECT_TRUE(swf::ShapeContains(s, 75, 50));
}

TEST(Geometry, MorphBoundsAndHitFollowTheRatio) {
    auto morph = std::make_shared<swf::MorphShape>();
    morph->start = Polygon({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    morph->end = Polygon({{0, 0}, {300, 0}, {300, 100}, {0, 100}});
    timeline::Character ch;
    ch.kind = timeline::Kind::Morph;
    ch.morph = morph;
    timeline::DisplayObject o;
    o.character = &ch;
    const struct {
        uint16_t ratio;
        double width;
        bool hitAt150;
    } rows[] = {{0, 100, false}, {32768, 200, true}, {65535, 300, true}};
    for (const auto& r : rows) {
        o.ratio = r.ratio;
        const swf::Box b = timeline::ObjectBounds(o, swf::Affine());
        EXPECT_NEAR(b.xMax - b.xMin, r.width, 1) << r.ratio;
        EXPECT_EQ(timeline::ObjectHit(o, swf::Affine(), 150, 50), r.hitAt150) << r.ratio;
    }
}

// A morph is its start shape at ratio 0 and its end shape at 65535, to the twip, however far
// its points travel; between, each point lies on its way there.
TEST(Geometry, MorphRatiosReachBothEnds) {
    swf::MorphShape morph;
    morph.start = Polygon({{0, 0}, {100, 0}, {100, 100}, {-30000, 100}});
    morph.end = Polygon({{0, 0}, {300, 0}, {300, 200}, {30000, 200}});
    const struct {
        uint16_t ratio;
        bool exact; // else within a twip
    } rows[] = {{0, true}, {1, false}, {32768, false}, {65534, false}, {65535, true}};
    for (const auto& r : rows) {
        const swf::Shape s = swf::InterpolateMorph(morph, r.ratio);
        ASSERT_EQ(s.groups[0].edges.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const swf::Edge &a = morph.start.groups[0].edges[i], &b = morph.end.groups[0].edges[i];
            const swf::Edge& e = s.groups[0].edges[i];
            const double t = r.ratio / 65535.0;
            EXPECT_NEAR(e.x0, a.x0 + (b.x0 - a.x0) * t, r.exact ? 0 : 1) << r.ratio << " " << i;
            EXPECT_NEAR(e.y0, a.y0 + (b.y0 - a.y0) * t, r.exact ? 0 : 1) << r.ratio << " " << i;
        }
    }
}

TEST(Geometry, HitTestUsesTheShapeThroughItsTransform) {
    timeline::Character ch;
    ch.kind = timeline::Kind::Shape;
    ch.shape = std::make_shared<swf::Shape>(kL);
    timeline::DisplayObject o;
    o.character = &ch;
    swf::Affine m;
    m.a = m.d = 2; // twice the size, moved by 1000
    m.tx = 1000;
    EXPECT_TRUE(timeline::ObjectHit(o, m, 1100, 100));
    EXPECT_FALSE(timeline::ObjectHit(o, m, 1300, 100)); // in the box, in the notch
    EXPECT_TRUE(timeline::ObjectHit(o, m, 1300, 300));
    o.isMask = true;
    EXPECT_FALSE(timeline::ObjectHit(o, m, 1100, 100));
}

} // namespace

namespace {

// A style array's count at the movie-wide limit reads; one more is refused before anything
// is kept. Solid fills are 4 bytes each (type, RGB), lines 5 (width, RGB).
TEST(Geometry, StyleArraysAtTheirCountLimit) {
    for (const uint32_t n : {swf::kMaxStylesPerArray, swf::kMaxStylesPerArray + 1}) {
        for (const bool lines : {false, true}) {
            std::vector<uint8_t> bytes = {0xFF, uint8_t(n & 0xFF), uint8_t(n >> 8)};
            bytes.resize(bytes.size() + size_t(n) * (lines ? 5 : 4), 0);
            swf::ByteReader r(bytes.data(), bytes.size());
            std::vector<swf::FillStyle> fills;
            std::vector<swf::LineStyle> strokes;
            const bool read =
                lines ? swf::ReadLineStyles(&r, 2, &strokes) : swf::ReadFillStyles(&r, 2, &fills);
            EXPECT_EQ(n == swf::kMaxStylesPerArray, read) << n << (lines ? " lines" : " fills");
            EXPECT_EQ(read ? n : 0u, uint32_t(lines ? strokes.size() : fills.size()));
        }
    }
}

} // namespace

namespace {

// A map as its unturned part and what turns it back: the parts compose to the map, the
// unturned part has no turn, and maps differing by a turn (or by 16.16 rounding) share it.
TEST(Geometry, SplitTurnSharesTheUnturnedPart) {
    const double kPi = 3.14159265358979323846;
    const auto turn = [](double angle, double sx, double sy, double skew) {
        // Turned after scaling and skewing: x' = R * [[sx, skew], [0, sy]] * x.
        const double cs = std::cos(angle), sn = std::sin(angle);
        return swf::Affine{cs * sx, sn * sx, cs * skew - sn * sy, sn * skew + cs * sy, 7, -3};
    };
    const auto fixed = [](swf::Affine m) { // as a movie's 16.16 entries hold it
        for (double* v : {&m.a, &m.b, &m.c, &m.d}) {
            *v = std::round(*v * 65536) / 65536;
        }
        return m;
    };
    struct Case {
        const char* name;
        swf::Affine m, other; // `other` shares m's unturned part when `shared`
        bool shared;
        bool split; // whether the map parts at all
    };
    const Case cases[] = {
        {"unturned scale stays whole", {2, 0, 0, 3, 5, 6}, {2, 0, 0, 3, 1, 1}, true, false},
        {"quarter turns share", turn(0.3, 2, 2, 0), turn(1.7, 2, 2, 0), true, true},
        {"16.16 wobble shares", fixed(turn(0.05, 1, 1, 0)), fixed(turn(0.95, 1, 1, 0)), true, true},
        {"a mirror shares with its turns", turn(0.4, 2, -2, 0), turn(2.4, 2, -2, 0), true, true},
        {"skew with turns shares", turn(0.2, 1, 2, 0.5), turn(-1.1, 1, 2, 0.5), true, true},
        {"a thousandth larger does not", turn(0.3, 2, 2, 0), turn(0.3, 2.004, 2.004, 0), false,
         true},
        {"a line has nothing to part",
         swf::Affine{1, 1, 2, 2, 0, 0},
         {1, 1, 2, 2, 0, 0},
         true,
         false},
        {"half a turn shares", turn(kPi, 3, 3, 0), turn(0, 3, 3, 0), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        swf::Affine shape, place, otherShape, otherPlace;
        c.m.SplitTurn(&shape, &place);
        c.other.SplitTurn(&otherShape, &otherPlace);
        EXPECT_EQ(shape.b == 0, c.split || c.m.b == 0);
        EXPECT_EQ(shape.tx, 0.0);
        EXPECT_EQ(shape.ty, 0.0);
        const swf::Affine back = place * shape;
        for (auto [got, want] : {std::pair{back.a, c.m.a},
                                 {back.b, c.m.b},
                                 {back.c, c.m.c},
                                 {back.d, c.m.d},
                                 {back.tx, c.m.tx},
                                 {back.ty, c.m.ty}}) {
            EXPECT_NEAR(got, want, 1e-9);
        }
        const bool same =
            shape.a == otherShape.a && shape.c == otherShape.c && shape.d == otherShape.d;
        EXPECT_EQ(same, c.shared);
        const bool parted = place.a != 1 || place.b != 0 || place.c != 0 || place.d != 1;
        EXPECT_EQ(parted, c.split);
    }
}

} // namespace
