#include "panel/geometry.h"

#include "panel/controltable.h"

#include <algorithm>
#include <vector>

namespace qj {

namespace {

// Left, top, width and height in twips. A control array lists the value for each index where
// its elements differ and gives it once where they share it.
struct PlaceRow
{
    std::string_view name;
    std::vector<int> left, top, width, height;

    int count() const
    {
        return static_cast<int>(std::max({left.size(), top.size(), width.size(), height.size()}));
    }
};

int pick(const std::vector<int> &values, int index)
{
    return values.size() == 1 ? values.front() : values.at(static_cast<std::size_t>(index));
}

const std::vector<PlaceRow> &places()
{
    static const std::vector<PlaceRow> rows = {
        {"Text1", {7380}, {0}, {495}, {315}},
        {"MusicSelect", {5280, 4260, 3240, 2220, 6360, 1200}, {300}, {795}, {375}},
        {"MusicVocal", {10200, 11460, 12600, 13680}, {240}, {795}, {375}},
        {"MusicPitch",
         {1200, 2220, 3240, 4260, 5400, 6540, 7680, 8820, 10020, 11100, 12120},
         {840},
         {795},
         {375}},
        {"FeedbackClass", {9120}, {6120, 6660, 7200, 7740}, {915}, {375}},
        {"KaraokeMode",
         {1440, 3000, 3900, 4860, 6000, 7140},
         {8760},
         {1395, 735, 735, 915, 915, 1155},
         {315}},
        {"EchoMode", {10020, 11280, 12540, 13800}, {8760}, {1035}, {315}},
        {"RunMode", {1200, 2160, 3180, 4200, 5220}, {9240}, {795}, {315}},
        {"SaveMode", {7260, 8340, 9420, 10560, 11640}, {9240}, {855}, {315}},
        {"Mute", {6960}, {3300}, {1095}, {435}},
        {"SuperBass", {5580}, {3420}, {1095}, {255}},
        {"SubwoofPhase", {3780}, {1380}, {1095}, {255}},
        {"SurroundMode1", {5640}, {4020}, {795}, {375}},
        {"SurroundMode2", {7260}, {4020}, {795}, {375}},
        {"MaxMusicVolume", {6240}, {2520}, {435}, {495}},
        {"MaxMusicVolumeDisplay", {5460}, {2520}, {735}, {495}},
        {"MaxMicVolume", {7620}, {2520}, {435}, {495}},
        {"MaxMicVolumeDisplay", {6840}, {2520}, {735}, {495}},
        {"StatusDisplay", {13200}, {9240}, {1575}, {315}},
        {"Label1", {13080}, {9120}, {1875}, {495}},
        {"Label2", {180}, {420}, {975}, {255}},
        {"Label3", {180}, {960}, {975}, {255}},
        {"Label37", {9060}, {300}, {1275}, {315}},
        {"Label4", {900}, {1380}, {1815}, {315}},
        {"Label42", {5880}, {1560}, {1815}, {315}},
        {"Label10", {5580}, {2160}, {975}, {255}},
        {"Label11", {6900}, {2160}, {975}, {255}},
        {"Label21", {6300}, {4140}, {975}, {255}},
        {"Label28", {9480}, {1320}, {975}, {255}},
        {"Label30", {12000}, {1320}, {1215}, {255}},
        {"Label44", {1380}, {5040}, {2175}, {375}},
        {"Label43", {5880}, {4860}, {2175}, {375}},
        {"Label26", {9060}, {5700}, {975}, {255}},
        {"Label31", {11040}, {4980}, {2115}, {375}},
        {"Label18", {180}, {8760}, {1395}, {435}},
        {"Label20", {9000}, {8760}, {1035}, {495}},
        {"Label17", {240}, {9240}, {975}, {315}},
        {"Label19", {6240}, {9240}, {1155}, {495}},
    };
    return rows;
}

// Every slider is 630 x 2715, its value label 675 x 315 and its name label 975 x 255.
constexpr int kSliderWidth = 630, kSliderHeight = 2715;
constexpr int kDisplayWidth = 675, kDisplayHeight = 315;
constexpr int kNameWidth = 975, kNameHeight = 255;

struct SliderPlaceRow
{
    std::string_view slider;
    int sliderLeft, sliderTop;
    int displayLeft, displayTop;
    int nameLeft, nameTop;
};

constexpr SliderPlaceRow kSliderPlaces[] = {
    {"MusicTreble", 540, 1980, 540, 1620, 420, 4740},
    {"MusicMid", 1440, 1980, 1440, 1620, 1260, 4740},
    {"MusicBass", 2340, 1980, 2340, 1620, 2160, 4740},
    {"MusicBalance", 3660, 1980, 3600, 1620, 3480, 4740},
    {"SubwoofLpf", 4440, 1980, 4440, 1620, 4320, 4740},
    {"MicVolume", 9000, 1860, 9000, 1560, 8820, 4620},
    {"MusicVolume", 9960, 1860, 9960, 1560, 9780, 4620},
    {"SubwoofVolume", 11040, 1860, 11040, 1560, 10920, 4620},
    {"CenterVolume", 12000, 1860, 12000, 1560, 11820, 4620},
    {"SurroundVolume", 12960, 1860, 12960, 1560, 12780, 4620},
    {"BgmVolume", 13860, 1860, 13860, 1560, 13680, 4620},
    {"MicEQ100Hz", 540, 5700, 540, 5340, 360, 8460},
    {"MicEQ300Hz", 1500, 5700, 1500, 5340, 1320, 8460},
    {"MicEQ900Hz", 2400, 5700, 2400, 5340, 2220, 8460},
    {"MicEQ2k7Hz", 3300, 5700, 3300, 5340, 3120, 8460},
    {"MicEQ8kHz", 4200, 5700, 4200, 5340, 4020, 8460},
    {"MicExciter", 5460, 5640, 5460, 5220, 5220, 8460},
    {"MicNoiseGate", 6360, 5640, 6360, 5220, 6120, 8460},
    {"SingSubwoofVolume", 7260, 5640, 7260, 5220, 7020, 8460},
    {"FeedbackTime", 8220, 5640, 8220, 5220, 7980, 8460},
    {"EchoDelay", 10320, 5700, 10320, 5280, 10200, 8460},
    {"EchoRepat", 11280, 5700, 11280, 5280, 11160, 8460},
    {"ReverbTime", 12240, 5700, 12240, 5280, 12120, 8460},
    {"ReverbVolume", 13200, 5700, 13200, 5280, 13080, 8460},
    {"EffectVolume", 14160, 5700, 14160, 5280, 13980, 8460},
};

int toPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

} // namespace

QRect fromTwips(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

QSize clientSize()
{
    return {toPixels(kClientWidthTwips), toPixels(kClientHeightTwips)};
}

std::optional<QRect> designRect(QStringView objectName)
{
    for (const PlaceRow &row : places()) {
        const int n = row.count();
        for (int i = 0; i < n; ++i) {
            const QString name =
                n == 1
                    ? QString::fromLatin1(row.name.data(), static_cast<qsizetype>(row.name.size()))
                    : elementName(row.name, i);
            if (name == objectName)
                return fromTwips(pick(row.left, i), pick(row.top, i), pick(row.width, i),
                                 pick(row.height, i));
        }
    }
    return std::nullopt;
}

std::optional<SliderPlace> sliderPlace(std::string_view slider)
{
    for (const SliderPlaceRow &row : kSliderPlaces)
        if (row.slider == slider)
            return SliderPlace{
                fromTwips(row.sliderLeft, row.sliderTop, kSliderWidth, kSliderHeight),
                fromTwips(row.displayLeft, row.displayTop, kDisplayWidth, kDisplayHeight),
                fromTwips(row.nameLeft, row.nameTop, kNameWidth, kNameHeight)};
    return std::nullopt;
}

} // namespace qj
