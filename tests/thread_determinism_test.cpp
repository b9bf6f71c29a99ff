// The same bytes for any thread count: every render of both methods, with every option on, at
// 1, 2 and 7 threads. The image is tall and wide enough that every row and column pass splits
// into several bands at 7 threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "render/fixed_preview_host.h"
#include "render/render_driver.h"
#include "support/test_images.h"
#include "support/thread_count_guard.h"

namespace qorva {
namespace {

using test::ThreadCountGuard;

using Bytes = std::vector<std::uint8_t>;

struct Look {
    const char* name;
    int method;
    double mix;  // method 1's Natural/Saturated
};

void everyOptionOn(MethodSettings& method, ColorSettings& colour, const Look& look) {
    method.method = look.method;
    SelectMethod(method);
    if (look.method == 1) method.valueB = look.mix;
    method.valueE = 0.4;  // vivid colours
    method.setGamma(1.3);
    colour.clarityOn = colour.dehazeOn = true;
    colour.filterMode = 9;  // "Orton Sepia"
    colour.curvesOn = colour.balanceOn = colour.hueShiftOn = true;
    colour.toneCurve.setPoints({{0, 0.05}, {0.4, 0.55}, {1, 0.95}});
    colour.balanceCurve.setPoints({{0, 0.55}, {0.3, 0.8}, {0.7, 0.4}, {1, 0.55}});
    colour.hueCurve.setPoints({{0, 0.45}, {0.5, 0.7}, {1, 0.45}});
}

// Final, then the three previews, each result's bytes in order.
std::vector<Bytes> renderAll(const Bytes& input, int w, int h, const Look& look) {
    // A preview of 200 x 150 (and 400 x 300 for Fine) from the 640 x 480 image.
    FixedPreviewHost host(204, 170);
    MethodSettings method;
    ColorSettings colour;
    everyOptionOn(method, colour, look);
    RenderDriver driver(host, method, colour);
    driver.setHostInput(input.data(), w, h);
    std::vector<Bytes> results;
    auto bytesOf = [](const WorkingImage& img) {
        return Bytes(img.pixels(), img.pixels() + img.byteSize());
    };
    EXPECT_TRUE(driver.Render(RenderQuality::Final)) << look.name;
    results.push_back(bytesOf(driver.renderImage()));
    for (RenderQuality q : {RenderQuality::Fast, RenderQuality::Fine, RenderQuality::All}) {
        EXPECT_TRUE(driver.Render(q)) << look.name;
        results.push_back(bytesOf(driver.displayImage()));
    }
    return results;
}

TEST(ThreadDeterminism, EveryRenderIsTheSameForOneTwoAndSevenThreads) {
    ThreadCountGuard guard;
    const int w = 640, h = 480;
    const Bytes input = test::makePhotoLikeImage(w, h, 11);
    const Look looks[] = {{"method 0", 0, 1.0}, {"method 1, mix 0.5", 1, 0.5}};
    for (const Look& look : looks) {
        setThreadCount(1);
        const std::vector<Bytes> serial = renderAll(input, w, h, look);
        ASSERT_EQ(serial.size(), 4u);
        EXPECT_NE(serial[0], input) << look.name;  // every option on changes the picture
        for (int threads : {2, 7}) {
            setThreadCount(threads);
            const std::vector<Bytes> parallel = renderAll(input, w, h, look);
            ASSERT_EQ(parallel.size(), serial.size());
            for (std::size_t i = 0; i < serial.size(); ++i) {
                EXPECT_EQ(test::checksum(parallel[i]), test::checksum(serial[i]))
                    << look.name << ", render " << i << ", " << threads << " threads";
            }
        }
    }
}

}  // namespace
}  // namespace qorva
