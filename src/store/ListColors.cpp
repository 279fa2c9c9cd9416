#include "store/ListColors.h"

#include <algorithm>
#include <cmath>

namespace {

// One sRGB channel (0..255) as linear light.
double LinearChannel(uint32_t value) {
    const double c = static_cast<double>(value & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(int32_t colorRef) {
    const auto v = static_cast<uint32_t>(colorRef);
    return 0.2126 * LinearChannel(v) + 0.7152 * LinearChannel(v >> 8) +
           0.0722 * LinearChannel(v >> 16);
}

} // namespace

double ColorContrast(int32_t colorRefA, int32_t colorRefB) {
    const double a = RelativeLuminance(colorRefA);
    const double b = RelativeLuminance(colorRefB);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool ListColorsReadable(int32_t listColor, int32_t fontBkColor, int32_t fontColor) {
    return ColorContrast(fontColor, fontBkColor) >= kMinListTextContrast &&
           ColorContrast(fontColor, listColor) >= kMinListTextContrast;
}
