#pragma once

#include <QRect>
#include <QSize>
#include <QStringView>

#include <optional>
#include <string_view>

namespace qj {

// The window's layout is drawn in twips (1/1440 inch) from the top-left corner of the client
// area; at 96 dots per inch 15 twips are one pixel.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 15135;
inline constexpr int kClientHeightTwips = 9780;

QRect fromTwips(int left, int top, int width, int height);
QSize clientSize(); // 1009 x 652 pixels

// Where a control other than a slider and its two labels stands, by object name
// ("MusicPitch_5", "Label2", "Text1").
std::optional<QRect> designRect(QStringView objectName);

// A slider, its value label above and its name label below, by the slider's name.
struct SliderPlace
{
    QRect slider;
    QRect display;
    QRect nameLabel;
};
std::optional<SliderPlace> sliderPlace(std::string_view slider);

} // namespace qj
