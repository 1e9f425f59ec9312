// The clipboard packaged and put back on the offscreen platform's clipboard: each send in a
// folder of its own, text and pictures restored beside what the clipboard already holds, in
// place of the picture or text it held.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "fakes/RecordingPresenter.h"
#include "fakes/TempFolder.h"
#include "platform/qt/ClipboardPackager.h"

using namespace krl;

namespace {

struct Sender {
    test::TempFolder folder;
    test::RecordingPresenter messages;
    std::vector<QueueItem> queue;
    int routines = 0;
    ClipboardPackager packager{{messages, QString::fromStdString((folder.path() / "Temp").string()),
                                [this](const QueueItem& i) { queue.push_back(i); },
                                [this] { ++routines; }}};
};

QImage picture() {
    QImage image(6, 4, QImage::Format_RGB888);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            image.setPixel(x, y, qRgb(x * 40, y * 60, 7));
    return image;
}

}  // namespace

TEST(ClipboardPackager, EachSendKeepsItsOwnPackagesUnderTheNamesTheReceiverKnows) {
    Sender s;
    QMimeData first;
    first.setText(QStringLiteral("first"));
    first.setImageData(picture());
    EXPECT_EQ(s.packager.send(&first), 2);
    QMimeData second;
    second.setText(QStringLiteral("second"));
    EXPECT_EQ(s.packager.send(&second), 1);
    EXPECT_EQ(s.routines, 2);

    ASSERT_EQ(s.queue.size(), 3u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(s.queue[0].path)).fileName(), "Text.clp");
    EXPECT_EQ(s.queue[0].kind, 1);
    EXPECT_EQ(s.queue[0].typeText, "Kestrelcall Clipboard File");
    EXPECT_EQ(QFileInfo(QString::fromStdString(s.queue[1].path)).fileName(), "bitmap.clp");
    EXPECT_EQ(s.queue[1].kind, 2);
    EXPECT_EQ(QFileInfo(QString::fromStdString(s.queue[2].path)).fileName(), "Text.clp");
    // The second send did not touch the first one's text.
    EXPECT_NE(s.queue[0].path, s.queue[2].path);
    QFile text(QString::fromStdString(s.queue[0].path));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), QByteArray("first", 6));
    text.close();

    // Once sent, a package goes, and its folder with the last one.
    const QString firstFolder = QFileInfo(QString::fromStdString(s.queue[0].path)).path();
    ClipboardPackager::discard(s.queue[0].path);
    EXPECT_TRUE(QFileInfo::exists(firstFolder));
    ClipboardPackager::discard(s.queue[1].path);
    EXPECT_FALSE(QFileInfo::exists(firstFolder));

    // Nothing this side can send: nothing queued, no folder made, the routine still ran.
    QMimeData other;
    other.setData(QStringLiteral("application/x-private"), "x");
    EXPECT_EQ(s.packager.send(&other), 0);
    EXPECT_EQ(s.queue.size(), 3u);
    EXPECT_EQ(s.routines, 3);
}

TEST(ClipboardPackager, ReceivedPackagesJoinWhatTheClipboardHolds) {
    Sender s;
    QMimeData data;
    data.setText(QString::fromUtf8("Caf\xc3\xa9 <b>x</b>"));
    data.setImageData(picture());
    ASSERT_EQ(s.packager.send(&data), 2);

    // The clipboard held another program's picture and text under the forms X programs offer
    // them (and the selection's own targets), besides a format of its own.
    QClipboard& clipboard = *QGuiApplication::clipboard();
    auto* before = new QMimeData;
    before->setData(QStringLiteral("application/x-kept"), "kept");
    before->setData(QStringLiteral("image/png"), "an older picture");
    before->setData(QStringLiteral("text/plain;charset=utf-8"), "older text");
    before->setData(QStringLiteral("text/html"), "<p>older text</p>");
    before->setData(QStringLiteral("TARGETS"), "atoms");
    clipboard.setMimeData(before);
    // The picture first: the text restored after it keeps it.
    EXPECT_TRUE(ClipboardPackager::restore(clipboard, s.queue[1].path, 2));
    EXPECT_TRUE(ClipboardPackager::restore(clipboard, s.queue[0].path, 1));
    const QMimeData* now = clipboard.mimeData();
    EXPECT_EQ(now->text(), QString::fromUtf8("Caf\xc3\xa9 <b>x</b>"));
    EXPECT_EQ(qvariant_cast<QImage>(now->imageData()).convertToFormat(QImage::Format_RGB888),
              picture());
    // What the older picture and text were offered under (the text's rich form too) would be
    // served before the received ones: they are gone. The rest stays.
    EXPECT_EQ(now->formats(),
              QStringList({"application/x-kept", "application/x-qt-image", "text/plain"}));
    EXPECT_EQ(now->data(QStringLiteral("application/x-kept")), QByteArray("kept"));

    // A picture package that is not one, a format not restored here, a file not there.
    QFile bad(QString::fromStdString((s.folder.path() / "bitmap.clp").string()));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BM this is no picture");
    bad.close();
    EXPECT_FALSE(ClipboardPackager::restore(clipboard, bad.fileName().toStdString(), 2));
    EXPECT_FALSE(ClipboardPackager::restore(clipboard, s.queue[0].path, 12));
    EXPECT_FALSE(ClipboardPackager::restore(clipboard, "/nonexistent/Text.clp", 1));
    EXPECT_EQ(clipboard.mimeData()->text(), QString::fromUtf8("Caf\xc3\xa9 <b>x</b>"));
}
