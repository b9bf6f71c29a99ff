#include "colour/curve_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace qorva {
namespace {

void expectValidPoints(const CurveModel& m) {
    const auto& p = m.points();
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p.front().x, 0);
    EXPECT_EQ(p.back().x, 1);
    for (std::size_t i = 0; i + 1 < p.size(); ++i) ASSERT_LT(p[i].x, p[i + 1].x) << i;
    for (const CurvePoint& q : p) {
        ASSERT_GE(q.y, 0);
        ASSERT_LE(q.y, 1);
    }
}

TEST(CurveModel, RestingTables) {
    CurveModel tone(false);
    CurveModel hue(true);
    EXPECT_EQ(tone.table(), identityCurveTable());
    EXPECT_EQ(hue.table(), flatCurveTable());
    EXPECT_TRUE(hue.centred());

    // Reset returns each kind to its resting curve; centring a tone curve flattens it.
    tone.setPoints({{0, 0.2}, {0.4, 0.9}, {1, 0.1}});
    EXPECT_NE(tone.table(), identityCurveTable());
    tone.ResetCurve();
    EXPECT_EQ(tone.table(), identityCurveTable());
    tone.SetCentred(true);
    EXPECT_EQ(tone.table(), flatCurveTable());
    EXPECT_EQ(tone.points().size(), 2u);
}

TEST(CurveModel, DraggingTheRightEndToTheTopGivesFullWhite) {
    CurveModel m(true);  // flat at 0.5
    m.setClientSize(200, 100);
    m.leftButtonDown(199, 50);
    ASSERT_EQ(m.dragIndex(), 1);
    m.mouseMove(150, -20);  // above the control: y clamps to 1, the end keeps x = 1
    EXPECT_EQ(m.points().back().x, 1);
    EXPECT_EQ(m.points().back().y, 1);
    EXPECT_EQ(m.table()[255], 255);
    // Tied ends: hue 0 follows hue 360.
    EXPECT_EQ(m.points().front().y, 1);
    EXPECT_EQ(m.table()[0], 255);
}

TEST(CurveModel, TiedEndPointsOnlyForHueCurves) {
    for (bool hueDomain : {false, true}) {
        CurveModel m(hueDomain);
        m.SetCentred(true);
        m.setClientSize(180, 90);
        const double rightBefore = m.points().back().y;
        m.leftButtonDown(0, 45);
        ASSERT_EQ(m.dragIndex(), 0);
        m.mouseMove(40, 9);  // 0.9 high; x of the end stays 0
        EXPECT_EQ(m.points().front().x, 0);
        EXPECT_DOUBLE_EQ(m.points().front().y, 0.9);
        EXPECT_DOUBLE_EQ(m.points().back().y, hueDomain ? 0.9 : rightBefore) << hueDomain;
    }
}

TEST(CurveModel, ClickAddsPointOnTheCurveAndRebuildsOnlyByTheMoveOrRelease) {
    CurveModel m(false);
    m.setClientSize(256, 256);
    m.setPoints({{0, 0}, {0.25, 0.6}, {1, 0.8}});
    const CurveTable before = m.table();
    m.leftButtonDown(160, 10);  // a = 160 * 255 / 256 = 159
    ASSERT_EQ(m.points().size(), 4u);
    ASSERT_EQ(m.dragIndex(), 2);
    EXPECT_DOUBLE_EQ(m.points()[2].x, 159 / 255.0);
    EXPECT_DOUBLE_EQ(m.points()[2].y, before[159] / 255.0);
    EXPECT_EQ(m.table(), before);
    m.mouseMove(160, 10);  // the first move rebuilds with the point at the mouse
    EXPECT_NE(m.table(), before);
    expectValidPoints(m);

    // A click released without a move: the release rebuilds, so that what renders is the
    // curve of the points a settings file keeps.
    CurveModel clicked(false), fromPoints(false);
    clicked.setClientSize(256, 256);
    clicked.setPoints({{0, 0}, {0.25, 0.6}, {1, 0.8}});
    clicked.leftButtonDown(160, 10);
    clicked.leftButtonUp();
    fromPoints.setPoints(clicked.points());
    EXPECT_EQ(clicked.table(), fromPoints.table());
}

TEST(CurveModel, EndOfChangeAndThumbTrackNotifications) {
    CurveModel m(false);
    m.setClientSize(200, 100);
    int ends = 0, tracks = 0;
    m.onEndChange = [&] { ++ends; };
    m.onThumbTrack = [&] { ++tracks; };
    m.leftButtonDown(100, 50);
    m.mouseMove(110, 40);
    m.mouseMove(120, 30);
    EXPECT_EQ(tracks, 0);
    m.leftButtonUp();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(m.dragIndex(), -1);
    EXPECT_FALSE(m.dragging());
    m.leftButtonUp();  // no drag under way: nothing to report
    EXPECT_EQ(ends, 1);

    m.notifyWhileDragging = true;
    m.leftButtonDown(60, 50);
    m.mouseMove(62, 40);
    EXPECT_EQ(tracks, 1);
    m.leftButtonUp();
    EXPECT_EQ(ends, 2);
}

TEST(CurveModel, RightClickDeletesOnlyInnerPoints) {
    CurveModel m(false);
    m.setClientSize(255, 100);
    m.setPoints({{0, 0.1}, {0.5, 0.7}, {1, 0.9}});
    int ends = 0;
    m.onEndChange = [&] { ++ends; };
    for (int x : {0, 254}) {  // on the end points
        m.mouseMove(x, 50);
        m.rightButtonDown();
    }
    EXPECT_EQ(m.points().size(), 3u);
    EXPECT_EQ(ends, 0);
    m.mouseMove(128, 50);
    m.rightButtonDown();
    ASSERT_EQ(m.points().size(), 2u);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(m.table()[0], 25);  // rebuilt from the two end points
}

TEST(CurveModel, InactiveOrReadOnlyControlIgnoresTheMouse) {
    for (int variant = 0; variant < 2; ++variant) {
        CurveModel m(false);
        m.setClientSize(200, 100);
        if (variant == 0) {
            EXPECT_TRUE(m.SetActive(false));
        } else {
            m.readOnly = true;
        }
        m.leftButtonDown(100, 10);
        m.mouseMove(100, 0);
        m.leftButtonUp();
        EXPECT_EQ(m.points().size(), 2u);
        EXPECT_EQ(m.table(), identityCurveTable());
    }
    CurveModel m(false);
    m.SetActive(false);
    EXPECT_FALSE(m.SetActive(true));
}

TEST(CurveModel, RandomisedEditingKeepsPointsOrderedAndTableWhole) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 60; ++round) {
        const int width = 40 + static_cast<int>(rng() % 360);
        const int height = 30 + static_cast<int>(rng() % 200);
        CurveModel m(round % 2 == 0);
        m.setClientSize(width, height);
        for (int action = 0; action < 150; ++action) {
            const int x = static_cast<int>(rng() % static_cast<unsigned>(width));
            const int y = static_cast<int>(rng() % static_cast<unsigned>(height));
            switch (rng() % 4) {
                case 0:
                    // A click without a drag can leave a point closer than the spacing.
                    m.leftButtonDown(x, y);
                    m.leftButtonUp();
                    break;
                case 1: {
                    m.leftButtonDown(x, y);
                    for (int step = 0; step < 6; ++step)
                        m.mouseMove(
                            static_cast<int>(rng() % static_cast<unsigned>(width + 80)) - 40,
                            static_cast<int>(rng() % static_cast<unsigned>(height + 80)) - 40);
                    m.leftButtonUp();
                    break;
                }
                case 2:
                    m.mouseMove(x, y);
                    m.rightButtonDown();
                    break;
                default:
                    m.mouseMove(x, y);
                    break;
            }
            ASSERT_NO_FATAL_FAILURE(expectValidPoints(m)) << round << " " << action;
        }
        // The table depends on the points alone: every entry is written by each build, whatever
        // the table held before.
        m.RebuildTable();
        const CurveTable built = m.table();
        CurveModel fresh(false);
        fresh.setPoints(m.points());
        EXPECT_EQ(fresh.table(), built) << round;
    }
}

TEST(CurveModel, DamagedPointListsAreRepaired) {
    CurveModel m(false);
    m.setPoints({{0.7, 2.0}, {0.2, -1}, {0.5, 0.5}});
    expectValidPoints(m);
    EXPECT_EQ(m.points()[1].x, 0.5);
    EXPECT_EQ(m.points().back().y, 1);
    m.setPoints({{0.3, 0.3}});
    EXPECT_EQ(m.table(), identityCurveTable());
}

TEST(CurvePointSerialisation, RoundTripAndByteLayout) {
    const std::vector<CurvePoint> points = {{0, 0.5}, {0.3, 0.123456789}, {1, 1}};
    std::vector<std::uint8_t> bytes = {0xAA};  // appended after what is already there
    serializePoints(points, bytes);
    ASSERT_EQ(bytes.size(), 1u + 4 + 3 * 16);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 1, bytes.begin() + 5),
              (std::vector<std::uint8_t>{3, 0, 0, 0}));
    // y of the first point, 0.5 = 0x3FE0000000000000, least significant byte first.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 13, bytes.begin() + 21),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xE0, 0x3F}));

    std::size_t offset = 1;
    std::vector<CurvePoint> read;
    ASSERT_TRUE(deserializePoints(bytes.data(), bytes.size(), offset, read));
    EXPECT_EQ(offset, bytes.size());
    ASSERT_EQ(read.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read[i].x, points[i].x);
        EXPECT_EQ(read[i].y, points[i].y);
    }
}

TEST(CurvePointSerialisation, ShortOrNegativeInputIsRefused) {
    std::vector<std::uint8_t> bytes;
    serializePoints({{0, 0}, {1, 1}}, bytes);
    std::vector<CurvePoint> read = {{0.5, 0.5}};
    for (std::size_t cut : {0u, 3u, 4u, 35u}) {
        std::size_t offset = 0;
        EXPECT_FALSE(deserializePoints(bytes.data(), cut, offset, read)) << cut;
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(read.size(), 1u);
    }
    const std::uint8_t negative[] = {0xFF, 0xFF, 0xFF, 0xFF};
    std::size_t offset = 0;
    EXPECT_FALSE(deserializePoints(negative, sizeof negative, offset, read));
    const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_FALSE(deserializePoints(huge, sizeof huge, offset, read));
}

}  // namespace
}  // namespace qorva
