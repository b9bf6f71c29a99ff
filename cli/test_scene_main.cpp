// Writes the generated photo-like test scene as an image file: the stand-in photograph of the
// main-job script when no sample photograph can be fetched.
#include <cstdlib>
#include <iostream>
#include <string>

#include "image_file.h"
#include "support/test_images.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: qorva-test-scene OUTPUT.png [WIDTH HEIGHT]\n";
        return 2;
    }
    const int width = argc > 3 ? std::atoi(argv[2]) : 1200;
    const int height = argc > 3 ? std::atoi(argv[3]) : 800;
    if (width < 1 || height < 1 || width > 20000 || height > 20000) {
        std::cerr << "qorva-test-scene: the size must be within 1 ... 20000\n";
        return 2;
    }
    qorva::cli::RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb = qorva::test::makePhotoLikeImage(width, height);
    qorva::cli::WriteOptions options;
    options.format = qorva::cli::formatFromPath(argv[1]);
    if (options.format == qorva::cli::OutputFormat::None)
        options.format = qorva::cli::OutputFormat::Png;
    std::string error;
    if (!qorva::cli::writeImageFile(argv[1], image, options, error)) {
        std::cerr << "qorva-test-scene: " << argv[1] << ": " << error << "\n";
        return 1;
    }
    return 0;
}
