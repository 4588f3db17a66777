#include "panel/labelstyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>

namespace qj {

namespace {
constexpr double kStatusPointSize = 10.5;
const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

// What every caption shares: it is there to be read, never to be pressed.
void styleCaption(QLabel &label, Qt::Alignment alignment)
{
    label.setAlignment(alignment);
    label.setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace

void styleBorderedLabel(QLabel &label, const QColor &text, const QColor &background)
{
    styleCaption(label, Qt::AlignCenter);
    label.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label.setLineWidth(1);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
}

void styleValueLabel(QLabel &label, DisplayColours colours)
{
    switch (colours) {
    case DisplayColours::GreenOnMenuText:
        styleBorderedLabel(label, kGreen, menuTextColour());
        return;
    case DisplayColours::WhiteOnMenuText:
        styleBorderedLabel(label, kWhite, menuTextColour());
        return;
    case DisplayColours::WhiteOnBlue:
        styleBorderedLabel(label, kWhite, kBlue);
        return;
    }
}

void styleTransparentLabel(QLabel &label, const QColor &text)
{
    styleCaption(label, Qt::AlignCenter);
    label.setAutoFillBackground(false);
    if (text.isValid()) {
        QPalette palette = label.palette();
        palette.setColor(QPalette::WindowText, text);
        label.setPalette(palette);
    }
}

void styleHeadingLabel(QLabel &label)
{
    styleTransparentLabel(label);
    label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

QColor menuTextColour()
{
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText);
}

QFont statusFont()
{
    QStringList families{QStringLiteral("宋体"), QStringLiteral("SimSun")};
    // Proportional faces before the fixed-pitch ones when 宋体 itself is not installed.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString &family : chinese)
        if (!QFontDatabase::isFixedPitch(family))
            families << family;
    for (const QString &family : chinese)
        if (QFontDatabase::isFixedPitch(family))
            families << family;
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(kStatusPointSize);
    return font;
}

} // namespace qj
