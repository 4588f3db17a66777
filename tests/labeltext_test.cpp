#include "params/labeltext.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

TEST(LabelText, EveryStyleAtItsEnds)
{
    struct Case
    {
        LabelStyle style;
        int p;
        const char *text;
    } cases[] = {
        {LabelStyle::Number, 0, "0"},           {LabelStyle::Number, 250, "250"},
        {LabelStyle::Gain, 0, "-10dB"},         {LabelStyle::Gain, 10, "0dB"},
        {LabelStyle::Gain, 13, "+3dB"},         {LabelStyle::Gain, 7, "-3dB"},
        {LabelStyle::Gain, 20, "+10dB"},        {LabelStyle::Balance, 0, "+10dB"},
        {LabelStyle::Balance, 7, "+3dB"},       {LabelStyle::Balance, 13, "+3dB"},
        {LabelStyle::Balance, 10, "0dB"},       {LabelStyle::Balance, 20, "+10dB"},
        {LabelStyle::Hertz, 40, "40Hz"},        {LabelStyle::Hertz, 160, "160Hz"},
        {LabelStyle::Milliseconds, 80, "80ms"}, {LabelStyle::Milliseconds, 120, "120ms"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(labelText(c.style, c.p), QString::fromLatin1(c.text)) << c.text;
}

TEST(LabelText, LeadingNumberReadsWhatTheCaptionsAndTheBoxHold)
{
    struct Case
    {
        const char16_t *text;
        double value;
    } cases[] = {
        {u"5", 5},       {u" 7", 7},   {u"7 ", 7},    {u"ab", 0}, {u"", 0},
        {u"100Hz", 100}, {u"+3dB", 3}, {u"-3dB", -3}, {u"5x", 5}, {u"-1", -1},
        {u"2.5", 2.5},   {u".5", 0.5}, {u"-", 0},     {u"+.", 0}, {u"1e2", 100},
        {u"1e", 1},      {u"９", 0},   {u"五", 0},    {u"  ", 0},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf16(c.text)), c.value)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(LabelText, HalvesRoundToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(4.4), 4);
    EXPECT_EQ(roundHalfEven(1e300), std::numeric_limits<int>::max());
}

} // namespace
} // namespace qj
