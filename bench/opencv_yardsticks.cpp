#include "opencv_yardsticks.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace qorva::bench {

void runOpenCvClahe(const std::uint8_t* luminance, int width, int height, int threads) {
    cv::setNumThreads(threads);
    const cv::Mat source(height, width, CV_8UC1, const_cast<std::uint8_t*>(luminance));
    // The result is kept between calls, as an application applying CLAHE repeatedly would.
    static cv::Mat result;
    // OpenCV's default clip limit and the usual 8 x 8 tiles.
    cv::Ptr<cv::CLAHE> clahe = cv::createCLAHE(40.0, cv::Size(8, 8));
    clahe->apply(source, result);
}

void runOpenCvGaussianBlur(const std::uint8_t* rgb, int width, int height, double sigma,
                           int threads) {
    cv::setNumThreads(threads);
    const cv::Mat source(height, width, CV_8UC3, const_cast<std::uint8_t*>(rgb));
    static cv::Mat result;
    cv::GaussianBlur(source, result, cv::Size(0, 0), sigma, sigma);
}

const char* openCvVersion() {
    return CV_VERSION;
}

}  // namespace qorva::bench
