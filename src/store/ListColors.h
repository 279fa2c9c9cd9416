// Which colours the lists use. The parameter file holds three (the list's background, the
// background behind the texts and the texts), but a file without the colour keys reads them all as
// 0, black on black, and a hand-picked pair can be as unreadable: then every list takes the
// style's colours instead, all three together.
#pragma once

#include <cstdint>

// The least contrast between the texts and the colour behind them: the common rule for body text
// on a screen (WCAG 2, level AA). The default colours of the file reach about 8.
constexpr double kMinListTextContrast = 4.5;

// The contrast ratio of two colours as the parameter file holds them (0x00BBGGRR): the lighter's
// relative luminance plus 0.05 over the darker's plus 0.05, from 1 (the same) to 21 (black and
// white).
double ColorContrast(int32_t colorRefA, int32_t colorRefB);

// True when the lists can use the file's colours: the texts stand out enough from the colour
// behind them ("FontBKColor") and from the list's own background ("ListColor", behind rows whose
// cells draw no background of their own).
bool ListColorsReadable(int32_t listColor, int32_t fontBkColor, int32_t fontColor);
