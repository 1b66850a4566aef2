#include <gtest/gtest.h>

#include <QImage>

#include <functional>

#include "UiTestSupport.h"
#include "ui/Pictures.h"
#include "ui/SearchAnimation.h"

using namespace qubra;
using namespace qubra::test;

namespace {

// The share of the picture's pixels that are opaque and satisfy Colour.
double Share(const QPixmap& picture, const std::function<bool(const QColor&)>& Colour)
{
    const QImage image = picture.toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.alpha() > 200 && Colour(c)) ++count;
    return double(count) / (image.width() * image.height());
}

bool Reddish(const QColor& c) { return c.red() > 160 && c.green() < 90 && c.blue() < 90; }
bool Greenish(const QColor& c) { return c.green() > 100 && c.red() < 80 && c.blue() < 120; }
bool Yellowish(const QColor& c) { return c.red() > 200 && c.green() > 160 && c.blue() < 90; }
bool Bluish(const QColor& c) { return c.blue() > 90 && c.red() < 60 && c.blue() > c.green() + 40; }
bool Opaque(const QColor&) { return true; }

} // namespace

TEST(Pictures, EveryPictureIsCompiledInAndDrawsSomething)
{
    std::vector<QImage> drawn;
    const QSize size(48, 48);
    for (TPicture p : {TPicture::Logo, TPicture::FlagCzech, TPicture::FlagEnglish, TPicture::SidePicture,
                       TPicture::Network, TPicture::ApplicationIcon}) {
        const QPixmap pixmap = RenderPicture(p, size);
        ASSERT_FALSE(pixmap.isNull()) << PicturePath(p).toStdString();
        EXPECT_GT(Share(pixmap, Opaque), 0.1) << PicturePath(p).toStdString();
        drawn.push_back(pixmap.toImage());
    }
    for (int i = 0; i < 6; ++i) {
        const QPixmap pixmap = RenderPicture(static_cast<TNoticePicture>(i));
        ASSERT_FALSE(pixmap.isNull()) << i;
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
        drawn.push_back(pixmap.scaled(size).toImage());
    }
    for (std::size_t i = 0; i < drawn.size(); ++i)
        for (std::size_t j = i + 1; j < drawn.size(); ++j) EXPECT_NE(drawn[i], drawn[j]) << i << " and " << j;
    EXPECT_TRUE(RenderPicture(QStringLiteral(":/pictures/none.svg"), size).isNull());
}

TEST(Pictures, NoticePicturesStandInTheImageListOrder)
{
    EXPECT_GT(Share(RenderPicture(TNoticePicture::Warning), Yellowish), 0.2);
    EXPECT_GT(Share(RenderPicture(TNoticePicture::Error), Reddish), 0.3);
    EXPECT_GT(Share(RenderPicture(TNoticePicture::Cross), Reddish), 0.05);
    EXPECT_GT(Share(RenderPicture(TNoticePicture::Tick), Greenish), 0.05);
    EXPECT_LT(Share(RenderPicture(TNoticePicture::Cross), Opaque), Share(RenderPicture(TNoticePicture::Error), Opaque))
        << "the small cross is smaller than the error disc";
    for (TNoticePicture bubble : {TNoticePicture::Information, TNoticePicture::Question}) {
        EXPECT_LT(Share(RenderPicture(bubble), Reddish), 0.01);
        EXPECT_LT(Share(RenderPicture(bubble), Yellowish), 0.01);
    }
    EXPECT_GT(Share(RenderPicture(TPicture::FlagCzech, QSize(30, 20)), Reddish), 0.2);
    EXPECT_GT(Share(RenderPicture(TPicture::FlagEnglish, QSize(30, 20)), Bluish), 0.2);
}

TEST(Pictures, SearchAnimationMovesWhilePlayingAndRestsOnItsStopFrame)
{
    TSearchAnimation anim;
    EXPECT_EQ(anim.objectName(), "Anim");
    EXPECT_FALSE(anim.Active());
    EXPECT_EQ(anim.Frame(), TSearchAnimation::StopFrame);
    const QImage resting = anim.grab().toImage();

    anim.SetActive(true);
    EXPECT_EQ(anim.Frame(), 0);
    const QImage first = anim.grab().toImage();
    EXPECT_TRUE(ProcessEventsUntil([&] { return anim.Frame() >= 2; }, 2000)) << "the timer drives the frames";
    EXPECT_NE(anim.grab().toImage(), first);

    anim.SetActive(false);
    EXPECT_FALSE(anim.Active());
    EXPECT_EQ(anim.Frame(), TSearchAnimation::StopFrame);
    EXPECT_EQ(anim.grab().toImage(), resting);
}
