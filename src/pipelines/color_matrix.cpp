#include "pipelines/color_matrix.h"

namespace qorva {

const ColorMatrix kRgbToXyz = {{
    {0.412424f, 0.357579f, 0.180464f},
    {0.212656f, 0.715158f, 0.072186f},
    {0.019332f, 0.119193f, 0.950444f},
}};

const ColorMatrix kXyzToRgb = {{
    {3.240708f, -1.537259f, -0.498570f},
    {-0.969257f, 1.875995f, 0.041555f},
    {0.055636f, -0.203996f, 1.057069f},
}};

}  // namespace qorva
