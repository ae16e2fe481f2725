#include "pages/shell/app_resources.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>

#include "pages/shell/resource_strings.h"
#include "platform/ui/qt/dialog_units.h"

namespace {

// Pixels that are clearly green, clearly red, and not transparent.
struct Colours {
    int green = 0;
    int red = 0;
    int opaque = 0;
};

Colours CountColours(const QImage& image) {
    Colours counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 200) continue;
            ++counts.opaque;
            if (c.green() > c.red() + 60) ++counts.green;
            if (c.red() > c.green() + 60) ++counts.red;
        }
    }
    return counts;
}

TEST(AppResourcesTest, EachIconHasEverySizeAt1xAnd2x) {
    for (const int id : {kIconProgram, kIconLocked, kIconUnlocked}) {
        const QIcon icon = LoadAppIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        const QList<QSize> sizes = icon.availableSizes();
        for (const int side : {16, 24, 32, 48, 64, 96}) {
            EXPECT_TRUE(sizes.contains(QSize(side, side))) << "icon " << id << " size " << side;
        }
        for (const int side : {16, 24, 32, 48}) {
            const QPixmap normal = icon.pixmap(QSize(side, side), 1.0);
            EXPECT_EQ(normal.size(), QSize(side, side)) << id;
            // On a screen at 200 % the icon takes its twice-as-large rendition, not a scaled-up
            // one.
            const QPixmap sharp = icon.pixmap(QSize(side, side), 2.0);
            EXPECT_EQ(sharp.size(), QSize(2 * side, 2 * side)) << id;
            EXPECT_EQ(sharp.devicePixelRatio(), 2.0) << id;
        }
    }
}

TEST(AppResourcesTest, OtherIdentifiersGiveANullIcon) {
    for (const int id : {0, 101, 127, 129, 132, 135, kBitmapBanner, -128}) {
        EXPECT_TRUE(LoadAppIcon(id).isNull()) << id;
    }
}

TEST(AppResourcesTest, LockIconsAreGreenAndRedAndTheProgramIconFillsItsTile) {
    const QImage locked = LoadAppIcon(kIconLocked).pixmap(QSize(32, 32), 1.0).toImage();
    const QImage unlocked = LoadAppIcon(kIconUnlocked).pixmap(QSize(32, 32), 1.0).toImage();
    const QImage program = LoadAppIcon(kIconProgram).pixmap(QSize(32, 32), 1.0).toImage();
    const Colours lockedColours = CountColours(locked);
    const Colours unlockedColours = CountColours(unlocked);
    // A mix-up of 133 and 134 would swap the colours the status display relies on.
    EXPECT_GT(lockedColours.green, lockedColours.opaque / 4);
    EXPECT_EQ(lockedColours.red, 0);
    EXPECT_GT(unlockedColours.red, unlockedColours.opaque / 4);
    EXPECT_EQ(unlockedColours.green, 0);
    // The lock icons have a transparent background; the program icon is a full tile.
    EXPECT_LT(lockedColours.opaque, 32 * 32 * 3 / 4);
    EXPECT_LT(unlockedColours.opaque, 32 * 32 * 3 / 4);
    EXPECT_GT(CountColours(program).opaque, 32 * 32 * 3 / 4);
}

TEST(AppResourcesTest, TheBannerHasExactlyTheDevicePixelsOfItsControl) {
    const QSize control = DluToPixels(QSize(313, 25), BaseUnitsOf(DialogFont()));
    ASSERT_EQ(control, QSize(547, 40));
    const QImage rendition1x = QImage(QStringLiteral(":/vlk/banner_136.png"));
    const QImage rendition2x = QImage(QStringLiteral(":/vlk/banner_136@2x.png"));
    ASSERT_EQ(rendition2x.size(), 2 * control);

    // 100 % and 200 %: the renditions themselves.
    const QPixmap normal = LoadBanner(control, 1.0);
    EXPECT_EQ(normal.size(), control);
    EXPECT_EQ(normal.devicePixelRatio(), 1.0);
    EXPECT_EQ(normal.toImage().convertToFormat(rendition1x.format()), rendition1x);
    const QPixmap sharp = LoadBanner(control, 2.0);
    EXPECT_EQ(sharp.size(), 2 * control);
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(control));
    EXPECT_EQ(sharp.toImage().convertToFormat(rendition2x.format()), rendition2x)
        << "the 2x rendition, not the 1x one scaled up";

    // 150 %: the 2x rendition scaled down to the control's device pixels.
    const QPixmap between = LoadBanner(control, 1.5);
    EXPECT_EQ(between.size(), QSize(821, 60));
    EXPECT_EQ(between.devicePixelRatio(), 1.5);

    // A font of 192 dots per inch without scaling: the control is 1017 x 78 pixels at a ratio of
    // 1, cut from the 2x rendition.
    const QPixmap bigFont = LoadBanner(QSize(1017, 78), 1.0);
    EXPECT_EQ(bigFont.size(), QSize(1017, 78));
    EXPECT_EQ(bigFont.devicePixelRatio(), 1.0);
    EXPECT_EQ(bigFont.toImage().pixelColor(1016, 77).alpha(), 255);

    // The banner is a picture edge to edge, with no transparent corner.
    const QImage image = normal.toImage();
    EXPECT_EQ(CountColours(image).opaque, image.width() * image.height());
}

TEST(AppResourcesTest, AboutMenuTextIsString101) {
    EXPECT_STREQ(kAboutMenuText, "&About VLK Skarveld Tool.");
}

}  // namespace
