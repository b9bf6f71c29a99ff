#include "image_metadata.h"

#include <array>
#include <cstring>
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

namespace {

enum Part : unsigned { kExif = 1, kIptc = 2, kXmp = 4, kIcc = 8 };
constexpr Part kParts[] = {kExif, kIptc, kXmp, kIcc};

const char* partName(Part part) {
    switch (part) {
        case kExif:
            return "EXIF";
        case kIptc:
            return "IPTC";
        case kXmp:
            return "XMP";
        case kIcc:
            return "ICC profile";
    }
    return "";
}

std::string reasonOf(const Exiv2::AnyError& e) {
    std::string text = e.what();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (!text.empty()) return text;
    return "the metadata library gave no reason (its error " + std::to_string(e.code()) + ")";
}

struct SourceMetadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    std::string xmp;
    std::vector<Exiv2::byte> icc;
    unsigned present = 0;
};

// `encoded` with the chosen parts written in, in memory; throws what the library throws.
std::vector<std::uint8_t> withParts(const std::vector<std::uint8_t>& encoded,
                                    const SourceMetadata& source, unsigned parts) {
    auto target = Exiv2::ImageFactory::open(encoded.data(), static_cast<long>(encoded.size()));
    target->readMetadata();
    if (parts & kExif) target->setExifData(source.exif);
    if (parts & kIptc) target->setIptcData(source.iptc);
    if (parts & kXmp) {
        // The packet as bytes: parsing and re-serialising it would drop what the parser does
        // not understand, and refuse packets that editors write with duplicate entries. A
        // TIFF's writer only takes parsed XMP (carryMetadata checks that it parses).
        target->xmpPacket() = source.xmp;
        target->writeXmpFromPacket(true);
        if (target->imageType() == Exiv2::ImageType::tiff) {
            Exiv2::XmpData parsed;
            Exiv2::XmpParser::decode(parsed, source.xmp);
            target->setXmpData(parsed);
            target->writeXmpFromPacket(false);
        }
    }
    if (parts & kIcc) {
        Exiv2::DataBuf copy(source.icc.data(), static_cast<long>(source.icc.size()));
        target->setIccProfile(copy, false);
    }
    target->writeMetadata();
    Exiv2::BasicIo& io = target->io();
    if (io.open() != 0) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "memory");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(io.size()));
    const long got = bytes.empty() ? 0 : io.read(bytes.data(), static_cast<long>(bytes.size()));
    io.close();
    if (got != static_cast<long>(bytes.size())) throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
    return bytes;
}

}  // namespace

bool carryMetadata(const std::string& from, int width, int height,
                   std::vector<std::uint8_t>& encoded, std::string& warning) {
    initMetadataLibrary();
    warning.clear();
    SourceMetadata source;
    try {
        auto image = Exiv2::ImageFactory::open(from);
        if (!image.get()) return true;
        image->readMetadata();
        source.exif = carriedExif(image->exifData(), width, height);
        source.iptc = image->iptcData();
        source.xmp = image->xmpPacket();
        if (source.xmp.empty()) {
            // A TIFF whose packet does not parse keeps it as a plain tag.
            const Exiv2::ExifData& exif = image->exifData();
            auto tag = exif.findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
            if (tag != exif.end() && tag->size() > 0) {
                std::vector<Exiv2::byte> raw(static_cast<std::size_t>(tag->size()));
                tag->copy(raw.data(), Exiv2::invalidByteOrder);
                source.xmp.assign(raw.begin(), raw.end());
            }
        }
        if (image->iccProfileDefined()) {
            const Exiv2::DataBuf* icc = image->iccProfile();
            source.icc.assign(icc->pData_, icc->pData_ + icc->size_);
        }
    } catch (const Exiv2::AnyError&) {
        // A format the metadata library does not know (PPM, ...) carries nothing to copy.
        return true;
    }
    if (!source.exif.empty()) source.present |= kExif;
    if (!source.iptc.empty()) source.present |= kIptc;
    if (!source.xmp.empty()) source.present |= kXmp;
    if (!source.icc.empty()) source.present |= kIcc;
    if (source.present == 0) return true;

    std::string reasons;
    const bool tiffTarget = encoded.size() >= 4 && (std::memcmp(encoded.data(), "II*", 4) == 0 ||
                                                    std::memcmp(encoded.data(), "MM\0*", 4) == 0);
    if ((source.present & kXmp) && tiffTarget) {
        Exiv2::XmpData parsed;
        if (Exiv2::XmpParser::decode(parsed, source.xmp) != 0) {
            source.present &= ~static_cast<unsigned>(kXmp);
            reasons = "XMP (its packet does not parse, and a TIFF file takes only one that does)";
        }
    }

    try {
        if (source.present != 0) encoded = withParts(encoded, source, source.present);
        if (reasons.empty()) return true;
        warning = "metadata not carried: " + reasons;
        return false;
    } catch (const Exiv2::AnyError&) {
    } catch (const std::bad_alloc&) {
        warning = "not enough memory to add the metadata";
        return false;
    }
    // Something could not be written: find out which part, keep the others.
    unsigned carried = 0;
    for (Part part : kParts) {
        if ((source.present & part) == 0) continue;
        try {
            withParts(encoded, source, part);
            carried |= part;
        } catch (const Exiv2::AnyError& e) {
            reasons += (reasons.empty() ? "" : "; ") + std::string(partName(part)) + " (" +
                       reasonOf(e) + ")";
        } catch (const std::bad_alloc&) {
            reasons += (reasons.empty() ? "" : "; ") + std::string(partName(part)) +
                       " (not enough memory)";
        }
    }
    try {
        if (carried != 0) encoded = withParts(encoded, source, carried);
    } catch (const Exiv2::AnyError& e) {
        reasons = "all of it (" + reasonOf(e) + ")";
    } catch (const std::bad_alloc&) {
        reasons = "all of it (not enough memory)";
    }
    if (reasons.empty()) reasons = "the parts together could not be written";
    warning = "metadata not carried: " + reasons;
    return false;
}

}  // namespace qorva::cli
