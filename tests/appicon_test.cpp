#include "panel/appicon.h"

#include <QColor>

#include <gtest/gtest.h>

namespace qj {
namespace {

// A point of the 32 x 32 drawing, found in an icon of any size.
QColor at(const QImage &image, qreal gridX, qreal gridY)
{
    const qreal scale = qreal(image.width()) / 32;
    return image.pixelColor(int(gridX * scale), int(gridY * scale));
}

// Small sizes blend edges, so the parts are told apart by their dominant colour.
bool isTile(const QColor &c)
{
    return c.alpha() == 255 && c.blue() > c.red() + 50 && c.blue() > c.green() + 40;
}
bool isMicrophone(const QColor &c)
{
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}
bool isRedBar(const QColor &c)
{
    return c.red() > c.green() + 100 && c.red() > c.blue() + 100;
}

// Every size shows the same drawing: the corners stay clear, and the tile, the microphone and
// the red bar are where the 32 x 32 grid puts them.
TEST(AppIconTest, EverySizeShowsTheSameDrawing)
{
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(side);
        const QImage image = appIconImage(side);
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(image.pixelColor(side - 1, side - 1).alpha(), 0);
        EXPECT_TRUE(isTile(at(image, 16.5, 29)));       // below the foot and the bars
        EXPECT_TRUE(isMicrophone(at(image, 11.5, 11))); // the head
        EXPECT_TRUE(isRedBar(at(image, 27.75, 12)));    // the tallest bar
        EXPECT_TRUE(isTile(at(image, 27.75, 5)));       // above it
        EXPECT_FALSE(isRedBar(at(image, 20.75, 12)));   // the short green bar ends lower
    }
}

// At its own size every edge falls on a pixel: the colours are exact.
TEST(AppIconTest, At32PixelsTheColoursAreExact)
{
    const QImage image = appIconImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(16, 29), QColor(20, 40, 110));
    EXPECT_EQ(image.pixelColor(11, 11), QColor(235, 235, 240));
    EXPECT_EQ(image.pixelColor(27, 12), QColor(255, 40, 40));
    EXPECT_EQ(image.pixelColor(20, 20), QColor(0, 192, 0));
    EXPECT_EQ(image.pixelColor(24, 15), QColor(0, 220, 0));
}

TEST(AppIconTest, TheWindowOffersSmallAndLargeSizes)
{
    const QList<QSize> sizes = appIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(128, 128)));
}

} // namespace
} // namespace qj
