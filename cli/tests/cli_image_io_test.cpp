#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <filesystem>

#include "atomic_output.h"
#include "cli_options.h"
#include "cli_test_support.h"
#include "image_file.h"
#include "image_metadata.h"
#include "output_plan.h"

namespace qorva::cli {
namespace {

using test::ScratchFolder;

TEST(CliImageFile, LosslessFormatsRoundTripByteForByte) {
    ScratchFolder folder;
    RgbImage image = test::sceneImage(67, 41);
    for (const char* name : {"a.png", "a.tif", "a.ppm"}) {
        test::writeImage(folder / name, image);
        const RgbImage back = test::readImage(folder / name);
        EXPECT_EQ(back.width, 67) << name;
        EXPECT_EQ(back.height, 41) << name;
        EXPECT_EQ(back.rgb, image.rgb) << name;
        EXPECT_TRUE(back.alpha.empty()) << name;
    }
}

TEST(CliImageFile, JpegQualityIsUsed) {
    ScratchFolder folder;
    const RgbImage image = test::sceneImage(120, 80);
    test::writeImage(folder / "q40.jpg", image, 40);
    test::writeImage(folder / "q98.jpg", image, 98);
    EXPECT_LT(std::filesystem::file_size(folder / "q40.jpg"),
              std::filesystem::file_size(folder / "q98.jpg"));
    const RgbImage back = test::readImage(folder / "q98.jpg");
    ASSERT_EQ(back.rgb.size(), image.rgb.size());
    double error = 0;
    for (std::size_t i = 0; i < image.rgb.size(); ++i)
        error += std::abs(int(back.rgb[i]) - int(image.rgb[i]));
    EXPECT_LT(error / image.rgb.size(), 4.0);
}

TEST(CliImageFile, SixteenBitSamplesAreRoundedToEightBits) {
    const struct {
        std::uint16_t in;
        std::uint8_t out;
    } cases[] = {{0, 0},       {128, 0},     {129, 1},     {257, 1},    {32767, 127},
                 {32896, 128}, {65406, 254}, {65407, 255}, {65535, 255}};
    for (const auto& c : cases) EXPECT_EQ(roundTo8Bit(c.in), c.out) << c.in;

    ScratchFolder folder;
    for (const char* name : {"deep.png", "deep.tif"}) {
        std::vector<std::uint16_t> pixels{0, 129, 65535, 32896, 65408, 128};
        test::writeSamples(folder / name, pixels.data(), 2, 1, 3, true);
        RgbImage image;
        ReadInfo info;
        std::string error;
        ASSERT_TRUE(readImageFile(folder / name, image, info, error)) << error;
        EXPECT_EQ(info.depth, "16-bit");
        EXPECT_EQ(image.rgb, (std::vector<std::uint8_t>{0, 1, 255, 128, 255, 0})) << name;
    }
}

TEST(CliImageFile, AlphaIsCarriedUnchangedAndGreyIsSpread) {
    ScratchFolder folder;
    // Colours under a transparent pixel must survive as stored, not multiplied by alpha.
    const std::vector<std::uint8_t> rgba{200, 100, 50, 0, 10, 20, 30, 128, 255, 255, 255, 255};
    test::writeSamples(folder / "a.png", rgba.data(), 3, 1, 4, false);
    RgbImage image = test::readImage(folder / "a.png");
    EXPECT_EQ(image.rgb, (std::vector<std::uint8_t>{200, 100, 50, 10, 20, 30, 255, 255, 255}));
    EXPECT_EQ(image.alpha, (std::vector<std::uint8_t>{0, 128, 255}));
    for (const char* name : {"b.png", "b.tif"}) {
        test::writeImage(folder / name, image);
        const RgbImage back = test::readImage(folder / name);
        EXPECT_EQ(back.rgb, image.rgb) << name;
        EXPECT_EQ(back.alpha, image.alpha) << name;
    }

    const std::vector<std::uint8_t> grey{7, 250};
    test::writeSamples(folder / "g.png", grey.data(), 2, 1, 1, false);
    EXPECT_EQ(test::readImage(folder / "g.png").rgb,
              (std::vector<std::uint8_t>{7, 7, 7, 250, 250, 250}));
}

TEST(CliImageFile, DamagedFilesAreRefusedWithTheLibrarysReason) {
    ScratchFolder folder;
    test::writeImage(folder / "good.jpg", test::sceneImage(256, 256));
    const std::string bytes = test::readFileBytes(folder / "good.jpg");
    test::writeFileBytes(folder / "cut.jpg", bytes.substr(0, 200));
    // Cut inside the picture data: the decoder would fill the rest with grey.
    test::writeFileBytes(folder / "half.jpg", bytes.substr(0, bytes.size() / 2));
    test::writeFileBytes(folder / "text.png", "this is not a picture");
    test::writeFileBytes(folder / "empty.tif", "");
    for (const char* name : {"cut.jpg", "half.jpg", "text.png", "empty.tif", "missing.png"}) {
        RgbImage image;
        ReadInfo info;
        std::string error;
        EXPECT_FALSE(readImageFile(folder / name, image, info, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

Exiv2::ExifData sampleExif() {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "QorvaCam";
    exif["Exif.Image.Orientation"] = std::uint16_t(6);
    exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 250);
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(4000);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(3000);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    return exif;
}

const char* kXmp =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
    "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
    "rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmp:Rating='4' "
    "xmlns:qv='http://example.invalid/qv/' qv:Look='kept'/></rdf:RDF></x:xmpmeta>"
    "<?xpacket end='w'?>";

TEST(CliImageMetadata, ExifXmpAndIccReachEveryFormatThatHoldsThem) {
    initMetadataLibrary();
    ScratchFolder folder;
    const std::vector<std::uint8_t> icc = test::makeIccProfile();
    for (const char* source : {"src.jpg", "src.tif", "src.png"}) {
        test::writeImage(folder / source, test::sceneImage(40, 30));
        {
            auto image = Exiv2::ImageFactory::open(folder / source);
            image->readMetadata();
            image->setExifData(sampleExif());
            image->setXmpPacket(kXmp);
            image->writeXmpFromPacket(true);
            Exiv2::DataBuf profile(icc.data(), static_cast<long>(icc.size()));
            image->setIccProfile(profile, true);
            // A camera's preview of the unprocessed photo.
            test::writeImage(folder / "thumb.jpg", test::sceneImage(16, 12));
            const std::string thumb = test::readFileBytes(folder / "thumb.jpg");
            Exiv2::ExifThumb(image->exifData())
                .setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumb.data()),
                                  static_cast<long>(thumb.size()));
            image->writeMetadata();
            image->readMetadata();
            ASSERT_GT(Exiv2::ExifThumbC(image->exifData()).copy().size_, 0) << source;
        }
        for (const char* target : {"out.jpg", "out.png", "out.tif"}) {
            const std::string to = folder / target;
            test::writeImage(to, test::sceneImage(20, 15, 3));
            std::string error;
            ASSERT_TRUE(test::carryMetadataFile(folder / source, to, 20, 15, error)) << error;
            auto image = Exiv2::ImageFactory::open(to);
            image->readMetadata();
            const Exiv2::ExifData& exif = image->exifData();
            const std::string what = std::string(source) + " to " + target;
            auto get = [&](const char* key) {
                auto it = exif.findKey(Exiv2::ExifKey(key));
                return it == exif.end() ? std::string("(none)") : it->toString();
            };
            EXPECT_EQ(get("Exif.Image.Make"), "QorvaCam") << what;
            EXPECT_EQ(get("Exif.Image.Orientation"), "6") << what;
            EXPECT_EQ(get("Exif.Photo.ExposureTime"), "1/250") << what;
            EXPECT_EQ(get("Exif.GPSInfo.GPSLatitudeRef"), "N") << what;
            EXPECT_EQ(get("Exif.Photo.PixelXDimension"), "20") << what;
            EXPECT_EQ(get("Exif.Photo.PixelYDimension"), "15") << what;
            // The pixel layout is the output's own, never the input's.
            if (std::string(target) != "out.tif")
                EXPECT_EQ(get("Exif.Image.ImageWidth"), "(none)") << what;
            else
                EXPECT_EQ(get("Exif.Image.ImageWidth"), "20") << what;
            EXPECT_NE(image->xmpPacket().find("qv:Look"), std::string::npos) << what;
            EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0) << what;
            ASSERT_TRUE(image->iccProfileDefined()) << what;
            EXPECT_EQ(
                std::vector<std::uint8_t>(image->iccProfile()->pData_,
                                          image->iccProfile()->pData_ + image->iccProfile()->size_),
                icc)
                << what;
            // The pixels are still readable and unchanged by the metadata.
            EXPECT_EQ(test::readImage(to).width, 20) << what;
        }
    }
}

TEST(CliImageMetadata, InputsWithoutMetadataOrInFormatsWithoutItAreFine) {
    ScratchFolder folder;
    test::writeImage(folder / "plain.ppm", test::sceneImage(8, 8));
    test::writeImage(folder / "plain.png", test::sceneImage(8, 8));
    test::writeImage(folder / "out.png", test::sceneImage(8, 8));
    const std::string before = test::readFileBytes(folder / "out.png");
    std::string error;
    EXPECT_TRUE(test::carryMetadataFile(folder / "plain.ppm", folder / "out.png", 8, 8, error));
    EXPECT_TRUE(test::carryMetadataFile(folder / "plain.png", folder / "out.png", 8, 8, error));
    EXPECT_EQ(test::readFileBytes(folder / "out.png"), before);
}

TEST(CliTempOutput, OnlyACommittedFileAppearsUnderTheFinalName) {
    ScratchFolder folder;
    const std::string target = folder / "result.png";
    test::writeFileBytes(target, "old");
    {
        TempOutput temp;
        std::string error;
        ASSERT_TRUE(temp.create(target, false, error)) << error;
        EXPECT_EQ(std::filesystem::path(temp.path()).extension(), ".png");
        ASSERT_TRUE(temp.write("half", 4, error));
        // Dropped without commit: the old file stays, the temporary one goes.
    }
    EXPECT_EQ(test::readFileBytes(target), "old");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"result.png"});
    {
        TempOutput temp;
        std::string error;
        ASSERT_TRUE(temp.create(target, false, error));
        ASSERT_TRUE(temp.write("new", 3, error));
        ASSERT_TRUE(temp.commit(error)) << error;
    }
    EXPECT_EQ(test::readFileBytes(target), "new");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"result.png"});
    TempOutput temp;
    std::string error;
    EXPECT_FALSE(temp.create(folder / "no-such-folder/x.png", false, error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos);
}

TEST(CliOutputPlan, NamesAndFormats) {
    ScratchFolder folder;
    const std::string out = folder / "out";
    std::filesystem::create_directory(out);
    OutputPlan plan =
        planOutputs({"a/Storm.JPG", "b/x.tif"}, out, "-hdr", OutputFormat::None, false);
    ASSERT_EQ(plan.files.size(), 2u);
    EXPECT_EQ(plan.files[0].output, out + "/Storm-hdr.JPG");
    EXPECT_EQ(plan.files[0].format, OutputFormat::Jpeg);
    EXPECT_EQ(plan.files[1].output, out + "/x-hdr.tif");
    EXPECT_EQ(plan.folder, out);

    plan = planOutputs({"a/Storm.jpg"}, out, "", OutputFormat::Png, false);
    EXPECT_EQ(plan.files[0].output, out + "/Storm.png");
    EXPECT_EQ(plan.files[0].format, OutputFormat::Png);

    plan = planOutputs({"a/Storm.jpg"}, folder / "one.tiff", "-hdr", OutputFormat::None, false);
    EXPECT_EQ(plan.files[0].output, folder / "one.tiff");
    EXPECT_EQ(plan.files[0].format, OutputFormat::Tiff);
    EXPECT_TRUE(plan.folder.empty());

    plan = planOutputs({"a/Storm.jpg"}, folder / "hdr", "-hdr", OutputFormat::None, false);
    EXPECT_EQ(plan.files[0].output, folder / "hdr/Storm-hdr.jpg");

    plan = planOutputs({"a/Storm.jpg", "b/c.png"}, folder / "new/", "-x", OutputFormat::Ppm, false);
    EXPECT_EQ(plan.folder, folder / "new/");
    EXPECT_EQ(plan.files[1].output, folder / "new/c-x.ppm");
}

TEST(CliOutputPlan, ConflictsAreUsageErrors) {
    ScratchFolder folder;
    test::writeFileBytes(folder / "a.png", "x");
    test::writeFileBytes(folder / "file.png", "x");
    const struct {
        std::vector<std::string> inputs;
        std::string output;
        std::string suffix;
        const char* message;
        OutputFormat format = OutputFormat::None;
    } cases[] = {
        {{"a/x.jpg", "b/x.jpg"}, folder.path(), "-hdr", "would both be written to"},
        {{folder / "a.png"}, folder / "a.png", "-hdr", "is an input and would be replaced"},
        {{folder / "a.png"}, folder.path(), "", "is an input and would be replaced"},
        {{folder / "a.png"}, folder / "./a.png", "-hdr", "is an input"},
        {{"x.bmp", "y.jpg"}, folder.path(), "-hdr", "cannot write x.bmp in its own format"},
        {{"x.jpg"}, folder / "result.webp", "-hdr", "cannot tell the format"},
        {{"x.jpg", "y.jpg"}, folder / "file.png", "-hdr", "is a file; several inputs"},
        {{}, folder.path(), "-hdr", "no input images"},
        {{"x.jpg"}, "", "-hdr", "no output given"},
        {{"x.jpg"},
         folder / "y.jpg",
         "-hdr",
         "names a JPEG file but --format asks for PNG",
         OutputFormat::Png},
    };
    for (const auto& c : cases) {
        try {
            planOutputs(c.inputs, c.output, c.suffix, c.format, false);
            ADD_FAILURE() << c.message << ": accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_NO_THROW(
        planOutputs({folder / "a.png"}, folder / "a.png", "", OutputFormat::None, true));
}

}  // namespace
}  // namespace qorva::cli
