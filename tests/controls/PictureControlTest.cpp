// The picture control on real files: cut to its frame or centred in it, not read again for the
// same name, empty after a file it cannot read, and copied to the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>

#include "controls/ui/PictureControl.h"

using namespace krl;

namespace {

QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
}

}  // namespace

TEST(PictureControl, FitsCentresAndKeepsWhatItShows) {
    QTemporaryDir dir;
    QWidget dialog;
    PictureControl picture(&dialog);
    picture.setGeometry(10, 20, 160, 120);

    // Smaller than the frame: centred in it at its own size.
    const QString small = writePicture(dir, QStringLiteral("small.bmp"), {40, 20}, Qt::red);
    ASSERT_TRUE(picture.loadFile(small));
    EXPECT_EQ(picture.geometry(), QRect(70, 70, 40, 20));
    EXPECT_EQ(picture.image().pixelColor(5, 5), QColor(Qt::red));

    // The same name again (in another case) is not read again, even though the file changed.
    writePicture(dir, QStringLiteral("small.bmp"), {40, 20}, Qt::blue);
    EXPECT_TRUE(picture.loadFile(dir.filePath(QStringLiteral("SMALL.bmp"))));
    EXPECT_EQ(picture.image().pixelColor(5, 5), QColor(Qt::red));

    // Larger than the frame: cut to it.
    const QString large = writePicture(dir, QStringLiteral("large.bmp"), {400, 300}, Qt::green);
    ASSERT_TRUE(picture.loadFile(large));
    EXPECT_EQ(picture.geometry(), QRect(10, 20, 160, 120));

    picture.copyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(400, 300));

    // A file that is no picture leaves the control empty, back in its frame.
    QFile junk(dir.filePath(QStringLiteral("junk.bmp")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("BM this is not a bitmap at all, only words");
    junk.close();
    ASSERT_TRUE(picture.loadFile(small));
    EXPECT_FALSE(picture.loadFile(junk.fileName()));
    EXPECT_FALSE(picture.hasPicture());
    EXPECT_TRUE(picture.path().isEmpty());
    EXPECT_EQ(picture.geometry(), QRect(10, 20, 160, 120));
}
