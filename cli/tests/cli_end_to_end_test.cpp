// The built tool run as a process on generated images.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <exiv2/exiv2.hpp>
#include <sstream>

#include "batch_runner.h"
#include "cli_app.h"
#include "cli_test_support.h"
#include "common/parallel.h"
#include "pipelines/contrast_pipeline.h"
#include "support/test_images.h"

namespace qorva::cli {
namespace {

using test::runTool;
using test::ScratchFolder;

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The engine's own golden results on the generated 301 x 203 scene, reached through options.
TEST(CliEndToEnd, GivesTheEnginesGoldenBytes) {
    ScratchFolder folder;
    test::writeImage(folder / "scene.png", test::sceneImage(301, 203));
    const struct {
        std::vector<std::string> options;
        const char* golden;
    } cases[] = {
        {{}, "539ec31d4c3bd7d2"},
        {{"--clarity", "--dehaze"}, "f6aa4c80da096655"},
        {{"--filter", "Orton Effect"}, "1ceb64a53a490542"},
        {{"--radius", "15", "--strength", "1", "--smoothness", "0", "--vivid", "1", "--brightness",
          "30", "--saturation", "0", "--filter", "sepia", "--balance", "0,0.5 1,0.5", "--hue-shift",
          "0,0.5 1,0.5", "--clarity"},
         "ffca2d834baf152c"},
        {{"--method", "ultra-contrast", "--mix", "0", "--vivid", "0.3", "--radius", "4",
          "--strength", "0.7", "--smoothness", "0.3"},
         "5f061bff8567fc33"},
        {{"--method", "1", "--mix", "0.5", "--gamma", "1.2", "--vivid", "0.5", "--radius", "6",
          "--strength", "1", "--smoothness", "0"},
         "6581c58fd9f60f8c"},
        {{"--method", "1", "--mix", "1", "--vivid", "0", "--radius", "1.9", "--strength", "0.5",
          "--smoothness", "1"},
         "81d82593f43fd1b2"},
    };
    for (const auto& c : cases) {
        const std::string out = folder / "result.png";
        const test::ToolRun run =
            runTool(c.options + std::vector<std::string>{folder / "scene.png", "-o", out});
        ASSERT_EQ(run.exitCode, 0) << c.golden << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(qorva::test::checksum(test::readImage(out).rgb), c.golden) << c.golden;
    }
}

TEST(CliEndToEnd, SameBytesAsTheLibraryForEveryFormatAndThreadCount) {
    ScratchFolder folder;
    const RgbImage scene = test::sceneImage(230, 170, 7);
    // What the library gives for method 0 with a tone curve and gamma, straight through.
    RenderRequest request;
    request.colour.curvesOn = true;
    request.colour.toneCurve.setPoints({{0, 0}, {0.3, 0.2}, {0.7, 0.85}, {1, 1}});
    request.method.setGamma(1.37);
    RgbImage expected;
    ASSERT_TRUE(renderImage(scene, request, {}, expected));
    ASSERT_EQ(expected.width, 230);

    const std::vector<std::string> look{"--curve", "0,0 0.3,0.2 0.7,0.85 1,1", "--gamma", "1.37"};
    for (const char* input : {"in.png", "in.tif", "in.ppm"}) {
        test::writeImage(folder / input, scene);
        for (const char* jobs : {"1", "2"}) {
            const std::string out = folder / "out.tif";
            const test::ToolRun run =
                runTool(look + std::vector<std::string>{"--jobs", jobs, folder / input, "-o", out});
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(test::readImage(out).rgb, expected.rgb) << input << " jobs " << jobs;
        }
    }
    // JPEG in and out: the tool processes exactly the decoded pixels and writes its result at
    // the requested quality.
    test::writeImage(folder / "in.jpg", scene);
    RgbImage decoded = test::readImage(folder / "in.jpg");
    RgbImage fromJpeg;
    ASSERT_TRUE(renderImage(decoded, request, {}, fromJpeg));
    ASSERT_EQ(runTool(look + std::vector<std::string>{"--jpeg-quality", "90", folder / "in.jpg",
                                                      "-o", folder / "same.jpg"})
                  .exitCode,
              0);
    test::writeImage(folder / "reference.jpg", fromJpeg, 90);
    EXPECT_EQ(test::readFileBytes(folder / "same.jpg"),
              test::readFileBytes(folder / "reference.jpg"));
}

TEST(CliEndToEnd, PreviewQualitiesWriteWhatThePreviewShows) {
    ScratchFolder folder;
    const RgbImage scene = test::sceneImage(300, 200);
    test::writeImage(folder / "scene.png", scene);
    const struct {
        const char* quality;
        RenderQuality value;
    } cases[] = {
        {"fast", RenderQuality::Fast}, {"fine", RenderQuality::Fine}, {"all", RenderQuality::All}};
    for (const auto& c : cases) {
        RenderRequest request;
        request.quality = c.value;
        request.method.setGamma(1.6);
        request.previewSize = {400, 300};
        RgbImage expected;
        ASSERT_TRUE(renderImage(scene, request, {}, expected));
        const test::ToolRun run =
            runTool({"--quality", c.quality, "--preview-size", "400x300", "--gamma", "1.6",
                     folder / "scene.png", "-o", folder / "preview.png"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const RgbImage shown = test::readImage(folder / "preview.png");
        // The shrunk area is 396 x 280: a 3:2 image fills it at 396 x 264.
        EXPECT_EQ(shown.width, 396) << c.quality;
        EXPECT_EQ(shown.height, 264) << c.quality;
        EXPECT_EQ(shown.rgb, expected.rgb) << c.quality;
    }
    // The default preview window is 520 x 392.
    ASSERT_EQ(runTool({"--quality", "fast", folder / "scene.png", "-o", folder / "p.png"}).exitCode,
              0);
    EXPECT_EQ(test::readImage(folder / "p.png").width, 516);
    EXPECT_EQ(test::readImage(folder / "p.png").height, 344);
}

TEST(CliEndToEnd, BatchIntoAFolderWithMetadataAlphaAndDeepInputs) {
    ScratchFolder folder;
    const RgbImage scene = test::sceneImage(90, 60);
    test::writeImage(folder / "photo.jpg", scene);
    {
        auto image = Exiv2::ImageFactory::open(folder / "photo.jpg");
        image->readMetadata();
        image->exifData()["Exif.Image.Artist"] = "Ann";
        const std::vector<std::uint8_t> icc = test::makeIccProfile();
        Exiv2::DataBuf profile(icc.data(), static_cast<long>(icc.size()));
        image->setIccProfile(profile, true);
        image->writeMetadata();
    }
    RgbImage withAlpha = test::sceneImage(50, 40, 5);
    withAlpha.alpha.resize(50 * 40);
    for (std::size_t i = 0; i < withAlpha.alpha.size(); ++i)
        withAlpha.alpha[i] = static_cast<std::uint8_t>(i * 3);
    test::writeImage(folder / "cutout.png", withAlpha);
    test::writeFileBytes(folder / "deep.ppm", "P6\n2 1\n65535\n");
    std::string deep = test::readFileBytes(folder / "deep.ppm");
    for (std::uint16_t v : {0, 129, 65535, 32896, 65408, 128}) {
        deep += static_cast<char>(v >> 8);
        deep += static_cast<char>(v & 255);
    }
    test::writeFileBytes(folder / "deep.ppm", deep);

    const test::ToolRun run = runTool({"--quiet", folder / "photo.jpg", folder / "cutout.png",
                                       folder / "deep.ppm", "-o", folder / "out"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(folder.entries("out"),
              (std::vector<std::string>{"cutout-hdr.png", "deep-hdr.ppm", "photo-hdr.jpg"}));
    // One line tells of the rounding.
    EXPECT_NE(run.err.find("deep.ppm: note: 16-bit samples rounded to 8 bits"), std::string::npos)
        << run.err;

    auto image = Exiv2::ImageFactory::open(folder / "out/photo-hdr.jpg");
    image->readMetadata();
    EXPECT_EQ(image->exifData()["Exif.Image.Artist"].toString(), "Ann");
    EXPECT_TRUE(image->iccProfileDefined());

    const RgbImage cut = test::readImage(folder / "out/cutout-hdr.png");
    EXPECT_EQ(cut.alpha, withAlpha.alpha);
    RgbImage expected;
    ASSERT_TRUE(renderImage(withAlpha, RenderRequest{}, {}, expected));
    EXPECT_EQ(cut.rgb, expected.rgb);
}

TEST(CliEndToEnd, UsageErrorsExitTwoAndWriteNothing) {
    ScratchFolder folder;
    test::writeImage(folder / "in.png", test::sceneImage(40, 30));
    const std::vector<std::vector<std::string>> cases{
        {"--radius", "20"},
        {"--mix", "0.5"},
        {"--method", "0", "--mix", "0.5"},
        {"--filter", "Vintage"},
        {"--gamma", "3"},
        {"--save-settings", folder / "out/s.dps", "--strength", "2"},
        {"--suffix", ""},  // would replace the input
        // A settings name forgotten before the photos: the first photo is not a settings file.
        {"--save-settings", folder / "in.png"},
        {"--overwrite", "--save-settings", folder / "in.png"},
    };
    for (const auto& options : cases) {
        std::ostringstream out, err;
        const int code = runCli(
            options + std::vector<std::string>{folder / "in.png", "-o", folder.path()}, out, err);
        EXPECT_EQ(code, 2) << options[0];
        EXPECT_EQ(err.str().rfind("qorvahdr: ", 0), 0u) << err.str();
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.png"}) << options[0];
    }
    // The process itself ends with the code.
    const test::ToolRun run = runTool({folder / "in.png", "--radius", "0", "-o", folder / "o"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--radius (Dramatic Light Radius) must be within 1.0 … 15.0"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.png"});
}

// A read-only settings file is kept, as a read-only output is, unless --overwrite is given;
// replaced, it stays read-only.
TEST(CliEndToEnd, AReadOnlySettingsFileIsReplacedOnlyWithOverwrite) {
    ScratchFolder folder;
    const std::string path = folder / "look.dps";
    test::writeFileBytes(path, "earlier");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const test::ToolRun kept = runTool({"--radius", "9", "--save-settings", path});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_EQ(kept.err, "qorvahdr: the settings cannot be saved: " + path +
                            " is read-only (--overwrite replaces it)\n");
    EXPECT_EQ(test::readFileBytes(path), "earlier");
    EXPECT_EQ(runTool({"--radius", "9", "--save-settings", path, "--overwrite"}).exitCode, 0);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_NE(test::readFileBytes(path), "earlier");
}

TEST(CliEndToEnd, ACorruptInputIsReportedAndTheOthersAreWritten) {
    ScratchFolder folder;
    test::writeImage(folder / "a.png", test::sceneImage(40, 30, 1));
    test::writeImage(folder / "c.png", test::sceneImage(40, 30, 2));
    const std::string good = test::readFileBytes(folder / "a.png");
    test::writeFileBytes(folder / "b.png", good.substr(0, good.size() / 2));
    const test::ToolRun run =
        runTool({folder / "a.png", folder / "b.png", folder / "c.png", "-o", folder / "out"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("qorvahdr: " + folder / "b.png" + ": "), std::string::npos) << run.err;
    EXPECT_EQ(folder.entries("out"), (std::vector<std::string>{"a-hdr.png", "c-hdr.png"}));
}

TEST(CliEndToEnd, SavedSettingsGiveTheSameResultAsTheOptions) {
    ScratchFolder folder;
    test::writeImage(folder / "in.png", test::sceneImage(80, 60));
    const std::vector<std::string> look{"--method", "1",           "--radius", "8.5",
                                        "--filter", "B/W",         "--gamma",  "0.8",
                                        "--curve",  "0,0.1 1,0.9", "--dehaze"};
    ASSERT_EQ(
        runTool(look + std::vector<std::string>{"--save-settings", folder / "look.dps"}).exitCode,
        0);
    ASSERT_EQ(runTool(look + std::vector<std::string>{folder / "in.png", "-o", folder / "a.png"})
                  .exitCode,
              0);
    ASSERT_EQ(
        runTool({"--settings", folder / "look.dps", folder / "in.png", "-o", folder / "b.png"})
            .exitCode,
        0);
    EXPECT_EQ(test::readImage(folder / "a.png").rgb, test::readImage(folder / "b.png").rgb);
    const test::ToolRun printed = runTool({"--settings", folder / "look.dps", "--print-settings"});
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_NE(printed.out.find("radius       8.5"), std::string::npos) << printed.out;
    EXPECT_NE(printed.out.find("filter       B/W"), std::string::npos) << printed.out;
}

TEST(CliProgressBar, DrawsFileAndPercentInPlaceOrNothing) {
    EXPECT_EQ(ProgressBar::line(2, 5, "storm.jpg", 40, 10), "[2/5] storm.jpg [####......]  40%");
    std::ostringstream terminal, quiet;
    ProgressBar bar(terminal, true, 10), silent(quiet, false, 10);
    for (ProgressBar* b : {&bar, &silent}) {
        b->startFile(1, 1, std::string(50, 'n') + ".jpg");
        b->update(60);
        b->update(0);  // the driver's reset at the end of a render does not move the bar back
        b->clear();
    }
    EXPECT_EQ(quiet.str(), "");
    EXPECT_NE(terminal.str().find("\r[1/1] ..." + std::string(33, 'n') + ".jpg [######....]  60%"),
              std::string::npos)
        << terminal.str();
    EXPECT_EQ(terminal.str().find("  0%", terminal.str().find("60%")), std::string::npos);
}

}  // namespace
}  // namespace qorva::cli
