#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QRandomGenerator>

#include "gif_writer.h"

namespace {

TEST(ImagesTest, EveryImageThePlayerNamesLoads) {
    const char* names[] = {"Pause.png",
                           "Play.png",
                           "fullscreen.png",
                           "fullscreen_exit.png",
                           "ico_bar_arrow.png",
                           "ico_bar_close.png",
                           "ico_bar_max.png",
                           "ico_bar_min.png",
                           "ico_bar_player.png",
                           "ico_bar_restore.png",
                           "ico_bar_show.png",
                           "ico_clean.png",
                           "ico_exit.png",
                           "ico_expand.png",
                           "ico_login_close.png",
                           "ico_settings_checked.png",
                           "ico_settings_close.png",
                           "ico_settings_radio_checked.png",
                           "ico_settings_radio_uncheck.png",
                           "ico_settings_uncheck.png",
                           "ico_shrink.png",
                           "ico_stop.png",
                           "media_volume_0.png",
                           "media_volume_1.png",
                           "media_volume_2.png",
                           "media_volume_3.png",
                           "menu_bg.png",
                           "play_2.png",
                           "player_icon.png",
                           "settings_log.png",
                           "tarsel_64x64.png",
                           "tarsel_96x96.png",
                           "wait_dialog_border.png",
                           "loading_wanming.gif"};
    for (const char* name : names) {
        // Style sheets name some of them with a double slash; both forms reach the file.
        for (const char* prefix : {":/image/", "://image/"})
            EXPECT_FALSE(QImage(QString(prefix) + name).isNull()) << prefix << name;
    }
}

TEST(ImagesTest, TheLoadingAnimationPlaysInALoop) {
    QMovie movie(":/image/loading_wanming.gif");
    ASSERT_TRUE(movie.isValid());
    EXPECT_GT(movie.frameCount(), 1);
    EXPECT_EQ(movie.loopCount(), -1);  // for ever
    for (int i = 0; i < movie.frameCount(); ++i) {
        ASSERT_TRUE(movie.jumpToFrame(i)) << i;
        EXPECT_FALSE(movie.currentImage().isNull()) << i;
        EXPECT_GT(movie.nextFrameDelay(), 0) << i;
    }
}

// Frames of random indexes decoded again by Qt give back exactly the colours written; the
// large one fills the code table several times over.
TEST(GifWriterTest, DecodedFramesMatchTheIndexesWritten) {
    for (const int colours : {2, 16, 256}) {
        GifAnimation gif;
        gif.width = 211;
        gif.height = colours == 256 ? 190 : 37;
        for (int i = 0; i < colours; ++i) gif.palette.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
        gif.transparentIndex = colours > 2 ? 1 : -1;
        QRandomGenerator random(colours);
        for (int f = 0; f < 3; ++f) {
            QByteArray frame(gif.width * gif.height, '\0');
            // Runs of repeated indexes as well as noise, so both long and short codes occur.
            for (int p = 0; p < frame.size(); ++p)
                frame[p] = char(f == 1 ? (p / 40) % colours : random.bounded(colours));
            gif.frames.append(frame);
        }
        QByteArray bytes = EncodeGif(gif);
        ASSERT_FALSE(bytes.isEmpty());
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "gif");
        for (int f = 0; f < gif.frames.size(); ++f) {
            const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_FALSE(image.isNull())
                << colours << " frame " << f << reader.errorString().toStdString();
            ASSERT_EQ(image.size(), QSize(gif.width, gif.height));
            int wrong = 0;
            for (int p = 0; p < gif.width * gif.height; ++p) {
                const int index = quint8(gif.frames[f][p]);
                const QRgb seen = image.pixel(p % gif.width, p / gif.width);
                const bool ok = index == gif.transparentIndex
                                    ? qAlpha(seen) == 0
                                    : seen == (gif.palette[index] | 0xFF000000u);
                wrong += ok ? 0 : 1;
            }
            EXPECT_EQ(wrong, 0) << colours << " colours, frame " << f;
        }
    }
}

TEST(GifWriterTest, MalformedAnimationsGiveNoFile) {
    GifAnimation good;
    good.width = 2;
    good.height = 1;
    good.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    good.frames = {QByteArray("\x00\x01", 2)};
    ASSERT_FALSE(EncodeGif(good).isEmpty());

    GifAnimation noFrames = good;
    noFrames.frames.clear();
    GifAnimation shortFrame = good;
    shortFrame.frames = {QByteArray("\x00", 1)};
    GifAnimation outsidePalette = good;
    outsidePalette.frames = {QByteArray("\x00\x02", 2)};
    for (const GifAnimation& bad : {noFrames, shortFrame, outsidePalette})
        EXPECT_TRUE(EncodeGif(bad).isEmpty());
}

}  // namespace
