#include "image_metadata.h"

#include <array>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <string_view>

namespace qorva::cli {
namespace {

// Tags of the first image directory that describe how the input's pixels are stored. The
// output's own writer sets what its file needs; copied over, they would misdescribe it.
constexpr std::array<std::string_view, 24> kPixelLayoutTags{
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.SubIFDs",
    "Exif.Image.JPEGTables",
    "Exif.Image.XMLPacket",
    "Exif.Image.InterColorProfile",
    "Exif.Image.IPTCNAA",
};

void quietLog(int, const char*) {}

bool isLayoutTag(const std::string& key) {
    for (std::string_view tag : kPixelLayoutTags)
        if (key == tag) return true;
    return false;
}

Exiv2::ExifData carriedExif(const Exiv2::ExifData& source, int width, int height) {
    Exiv2::ExifData exif;
    for (const Exiv2::Exifdatum& d : source) {
        const std::string key = d.key();
        // Thumbnail and other sub-images show the photo before processing.
        if (d.groupName() == "Thumbnail" || d.groupName().rfind("SubImage", 0) == 0) continue;
        if (d.groupName() == "Image" && isLayoutTag(key)) continue;
        exif.add(d);
    }
    for (const char* key : {"Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"}) {
        auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it != exif.end())
            *it = static_cast<std::uint32_t>(key[sizeof("Exif.Photo.Pixel") - 1] == 'X' ? width
                                                                                        : height);
    }
    return exif;
}

}  // namespace

void initMetadataLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setHandler(quietLog);
        Exiv2::XmpParser::initialize();
    });
}

bool copyMetadata(const std::string& from, const std::string& to, int width, int height,
                  std::string& error) {
    initMetadataLibrary();
    bool opening = true;
    try {
        auto source = Exiv2::ImageFactory::open(from);
        if (!source.get()) return true;
        opening = false;
        source->readMetadata();
        const bool hasIcc = source->iccProfileDefined();
        if (source->exifData().empty() && source->xmpPacket().empty() &&
            source->iptcData().empty() && !hasIcc)
            return true;
        auto target = Exiv2::ImageFactory::open(to);
        target->readMetadata();
        target->setExifData(carriedExif(source->exifData(), width, height));
        target->setIptcData(source->iptcData());
        // The XMP packet goes over as bytes: parsing and re-serialising it would drop what
        // the parser does not understand.
        target->setXmpPacket(source->xmpPacket());
        target->writeXmpFromPacket(true);
        if (hasIcc) {
            const Exiv2::DataBuf* icc = source->iccProfile();
            Exiv2::DataBuf copy(icc->pData_, icc->size_);
            target->setIccProfile(copy, false);
        }
        target->writeMetadata();
    } catch (const Exiv2::AnyError& e) {
        // A format the metadata library does not know (PPM, ...) carries nothing to copy.
        if (opening) return true;
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace qorva::cli
