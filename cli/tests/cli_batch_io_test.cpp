// The image path of the tool as a hostile or unlucky user meets it: inputs that are no files,
// cut short or lying about their size, disks that fill up, outputs that must not be replaced;
// batches side by side, resumed, dry-run and fanned out with GNU parallel; camera metadata.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <functional>

#include "atomic_output.h"
#include "cli_test_support.h"

namespace qorva::cli {
namespace {

using test::runTool;
using test::ScratchFolder;

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

// A PNG of a few bytes whose header claims width x height.
std::string pngClaiming(std::uint32_t width, std::uint32_t height) {
    const std::string ihdr = "IHDR" + be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
    const std::string idat = "IDAT" + std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    const std::string iend = "IEND";
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc32(ihdr)) + be32(8) +
           idat + be32(crc32(idat)) + be32(0) + iend + be32(crc32(iend));
}

// An uncompressed RGB TIFF with its directory before the pixels, so that a cut keeps a
// readable header.
std::string tiffWithDirectoryFirst(int w, int h) {
    auto le16 = [](int v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
    auto le32 = [&](std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    const int entries = 9;
    const std::uint32_t bits = 8 + 2 + entries * 12 + 4, data = bits + 6;
    std::string t = "II*" + std::string(1, '\0') + le32(8) + le16(entries);
    auto entry = [&](int tag, int type, std::uint32_t count, std::uint32_t value) {
        t += le16(tag) + le16(type) + le32(count) +
             (type == 3 && count == 1 ? le16(value) + le16(0) : le32(value));
    };
    entry(256, 3, 1, w);
    entry(257, 3, 1, h);
    entry(258, 3, 3, bits);
    entry(259, 3, 1, 1);
    entry(262, 3, 1, 2);
    entry(273, 4, 1, data);
    entry(277, 3, 1, 3);
    entry(278, 3, 1, h);
    entry(279, 4, 1, static_cast<std::uint32_t>(w * h * 3));
    t += le32(0) + le16(8) + le16(8) + le16(8);
    for (int i = 0; i < w * h * 3; ++i) t += static_cast<char>(i * 7);
    return t;
}

TEST(CliBatchIo, EachBadInputFailsAloneWithItsReason) {
    ScratchFolder folder;
    test::writeImage(folder / "a.png", test::sceneImage(40, 30));
    test::writeImage(folder / "z.png", test::sceneImage(30, 40, 2));
    ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0600), 0);
    const std::string tiff = tiffWithDirectoryFirst(64, 48);
    test::writeFileBytes(folder / "whole.tif", tiff);
    test::writeFileBytes(folder / "cut.tif", tiff.substr(0, tiff.size() / 10));
    test::writeFileBytes(folder / "bomb.png", pngClaiming(26000, 26000));
    test::writeFileBytes(folder / "zero.ppm", "P6\n2 1\n0\n\1\2\3\4\5\6");
    test::writeFileBytes(folder / "wide.ppm", "P6\n2 1\n70000\n");
    const std::string tooLong = folder / (std::string(300, 'n') + ".png");
    struct Case {
        std::string input;
        const char* reason;
    };
    const Case bad[] = {
        {folder / "pipe.png", "is not a regular file"},
        {folder / "cut.tif", "Read error"},
        {folder / "bomb.png", "over the limit of 500 megapixels"},
        {folder / "zero.ppm", "maximum sample value of 0"},
        {folder / "wide.ppm", "maximum sample value of 70000"},
        {tooLong, "File name too long"},
    };
    std::vector<std::string> inputs{folder / "a.png", folder / "whole.tif"};
    for (const Case& c : bad) inputs.push_back(c.input);
    inputs.push_back(folder / "z.png");
    for (const char* jobs : {"1", "2"}) {
        const std::string out = folder / (std::string("out") + jobs);
        const test::ToolRun run = runTool(inputs + std::vector<std::string>{"-j", jobs, "-o", out});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_EQ(folder.entries(std::string("out") + jobs),
                  (std::vector<std::string>{"a-hdr.png", "whole-hdr.tif", "z-hdr.png"}));
        std::size_t at = 0;
        for (const Case& c : bad) {  // each named with its reason, in the order given
            const std::size_t found = run.err.find("qorvahdr: " + c.input + ": ", at);
            ASSERT_NE(found, std::string::npos) << c.input << "\n" << run.err;
            const std::size_t end = run.err.find('\n', found);
            EXPECT_NE(run.err.substr(found, end - found).find(c.reason), std::string::npos)
                << run.err.substr(found, end - found);
            at = end;
        }
    }
}

TEST(CliBatchIo, AFullDiskKeepsTheOldOutputAndLeavesNothingBehind) {
    ScratchFolder folder;
    test::writeImage(folder / "in.png", test::sceneImage(160, 120));
    for (const char* name : {"old.png", "old.jpg", "old.tif"}) {
        test::writeFileBytes(folder / name, "the earlier result");
        const test::ToolRun run =
            test::runToolWithFileLimit({folder / "in.png", "-o", folder / name}, 4096);
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_NE(run.err.find("cannot be written"), std::string::npos) << run.err;
        EXPECT_EQ(test::readFileBytes(folder / name), "the earlier result") << name;
    }
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"in.png", "old.jpg", "old.png", "old.tif"}));
}

TEST(CliBatchIo, OnlyRegularWritableOutputsAreReplacedAndKeepTheirMode) {
    ScratchFolder folder;
    test::writeImage(folder / "in.png", test::sceneImage(40, 30));
    ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
    test::ToolRun run = runTool({folder / "in.png", "--format", "png", "-o", folder / "pipe"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is not a regular file; not replaced"), std::string::npos) << run.err;
    struct stat st {};
    ASSERT_EQ(lstat((folder / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const std::string out = folder / "out.png";
    test::writeFileBytes(out, "kept");
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
    run = runTool({folder / "in.png", "-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is read-only"), std::string::npos) << run.err;
    EXPECT_EQ(test::readFileBytes(out), "kept");
    ASSERT_EQ(runTool({folder / "in.png", "-o", out, "--overwrite"}).exitCode, 0);
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(test::readImage(out).width, 40);
}

TEST(CliBatchIo, ATemporaryFileSwappedUnderTheWriterIsNeverRenamedIn) {
    ScratchFolder folder;
    const std::string target = folder / "result.png";
    test::writeFileBytes(target, "old");
    TempOutput temp;
    std::string error;
    ASSERT_TRUE(temp.create(target, false, error)) << error;
    ASSERT_TRUE(temp.write("new", 3, error));
    // Someone with the folder's write access puts their own file under the temporary name.
    test::writeFileBytes(folder / "planted", "planted");
    ASSERT_EQ(std::rename((folder / "planted").c_str(), temp.path().c_str()), 0);
    EXPECT_FALSE(temp.commit(error));
    EXPECT_NE(error.find("was replaced"), std::string::npos) << error;
    EXPECT_EQ(test::readFileBytes(target), "old");

    // A name near the folder's limit still gets a temporary file, a shorter one.
    const std::string longName = folder / (std::string(240, 'l') + ".png");
    TempOutput near;
    ASSERT_TRUE(near.create(longName, false, error)) << error;
    ASSERT_TRUE(near.write("x", 1, error));
    ASSERT_TRUE(near.commit(error)) << error;
    EXPECT_EQ(test::readFileBytes(longName), "x");
}

TEST(CliBatchIo, SideBySideResumedDryRunAndParallelGiveTheSameFiles) {
    ScratchFolder folder;
    std::vector<std::string> inputs;
    for (int i = 0; i < 5; ++i) {
        const std::string name = folder / ("in" + std::to_string(i) + (i % 2 ? ".jpg" : ".png"));
        test::writeImage(name, test::sceneImage(120 + 10 * i, 90, static_cast<std::uint32_t>(i)));
        inputs.push_back(name);
    }
    test::writeFileBytes(folder / "in2.png", "damaged");  // a corrupt file in the middle
    const std::vector<std::string> look{"--radius", "9", "--gamma", "1.2"};
    std::vector<std::string> names;
    for (const char* jobs : {"1", "2", "3"}) {
        const test::ToolRun run =
            runTool(look + inputs + std::vector<std::string>{"-j", jobs, "-o", folder / jobs});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("in2.png"), std::string::npos) << run.err;
        names = folder.entries(jobs);
        EXPECT_EQ(names.size(), 4u);
        for (const std::string& name : names)
            EXPECT_EQ(test::readFileBytes(folder / (std::string(jobs) + "/" + name)),
                      test::readFileBytes(folder / ("1/" + name)))
                << jobs << " " << name;
    }

    // Resuming: only the missing output is made again.
    struct stat before {};
    ASSERT_EQ(stat((folder / "1/in0-hdr.png").c_str(), &before), 0);
    std::filesystem::remove(folder / "1/in3-hdr.jpg");
    test::ToolRun run =
        runTool(look + inputs + std::vector<std::string>{"--skip-existing", "-o", folder / "1"});
    EXPECT_EQ(run.exitCode, 1);  // in2 is still damaged
    EXPECT_NE(run.err.find("3 outputs exist already and were skipped"), std::string::npos)
        << run.err;
    EXPECT_EQ(test::readFileBytes(folder / "1/in3-hdr.jpg"),
              test::readFileBytes(folder / "2/in3-hdr.jpg"));
    struct stat after {};
    ASSERT_EQ(stat((folder / "1/in0-hdr.png").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    run = runTool(look + inputs + std::vector<std::string>{"--dry-run", "-o", folder / "dry"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Dramatic Light Radius"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(inputs[4] + " -> " + folder / "dry/in4-hdr.png"), std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(folder / "dry"));

    // The README's recipe: one process per file, fanned out by GNU parallel.
    if (std::system("command -v parallel >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed";
    std::string command = "parallel --will-cite --halt never '" + std::string(QORVAHDR_EXE) +
                          " --quiet --radius 9 --gamma 1.2 {} -o " + folder / "fan" + "/' ::: ";
    for (const std::string& input : inputs) command += "'" + input + "' ";
    command += "2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);  // the damaged file's exit status counts
    EXPECT_EQ(folder.entries("fan"), names);
    for (const std::string& name : names)
        EXPECT_EQ(test::readFileBytes(folder / ("fan/" + name)),
                  test::readFileBytes(folder / ("1/" + name)))
            << name;
}

// A camera's EXIF with its maker note, an ICC profile and XMP survive from PNG and TIFF inputs,
// also a packet of the kind editors write with a property twice (which no XMP parser accepts):
// carried as it is where the format allows, named in a warning where it does not.
TEST(CliBatchIo, CameraMetadataSurvivesFromPngAndTiff) {
    ScratchFolder folder;
    const std::vector<std::uint8_t> icc = test::makeIccProfile();
    auto packet = [](const std::string& body) {
        return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta "
               "xmlns:x='adobe:ns:meta/'><rdf:RDF "
               "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
               "rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/' " +
               body + "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    };
    const struct {
        const char* name;
        std::string xmp, mark;
        bool parses;
    } sources[] = {
        {"cam.png", packet("xmp:Rating='4'><xmp:Rating>5</xmp:Rating>"), "<xmp:Rating>5", false},
        {"cam.tif", packet("xmp:Rating='4'><xmp:Label>kept</xmp:Label>"), "kept", true},
    };
    for (const auto& source : sources) {
        test::writeImage(folder / source.name, test::sceneImage(48, 32));
        {
            auto image = Exiv2::ImageFactory::open(folder / source.name);
            image->readMetadata();
            Exiv2::ExifData exif;
            exif["Exif.Image.Make"] = "Canon";
            exif["Exif.Image.Model"] = "Canon EOS 5D";
            exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 500);
            exif["Exif.Canon.OwnerName"] = "Ann";  // in the maker note
            image->setExifData(exif);
            if (source.parses) {
                image->setXmpPacket(source.xmp);
            } else {
                image->xmpPacket() = source.xmp;
                image->writeXmpFromPacket(true);
            }
            Exiv2::DataBuf profile(icc.data(), static_cast<long>(icc.size()));
            image->setIccProfile(profile, true);
            image->writeMetadata();
        }
        for (const char* target : {"out.jpg", "out.png", "out.tif"}) {
            const std::string what = std::string(source.name) + " to " + target;
            const test::ToolRun run = runTool({folder / source.name, "-o", folder / target});
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const bool carried = source.parses || std::string(target) != "out.tif";
            EXPECT_EQ(run.err.find("warning: metadata not carried: XMP (its packet does not parse"),
                      carried ? std::string::npos : run.err.find("warning"))
                << what << ": " << run.err;
            auto image = Exiv2::ImageFactory::open(folder / target);
            image->readMetadata();
            const Exiv2::ExifData& exif = image->exifData();
            auto owner = exif.findKey(Exiv2::ExifKey("Exif.Canon.OwnerName"));
            ASSERT_NE(owner, exif.end()) << what;
            EXPECT_EQ(owner->toString(), "Ann") << what;
            if (carried) {
                EXPECT_NE(image->xmpPacket().find(source.mark), std::string::npos) << what;
            }
            ASSERT_TRUE(image->iccProfileDefined()) << what;
            EXPECT_EQ(image->iccProfile()->size_, static_cast<long>(icc.size())) << what;
        }
    }
}

}  // namespace
}  // namespace qorva::cli
