#include "video/ui/VideoTestCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include "platform/qt/LineCommandServer.h"
#include "video/VideoCall.h"
#include "video/VideoManager.h"
#include "video/ui/CLocalVideoWnd.h"
#include "video/ui/CRemoteVideoWnd.h"
#include "video/ui/StatisticsDialog.h"
#include "video/ui/VideoFormatDialog.h"
#include "video/ui/VideoPictureWidget.h"
#include "video/ui/VideoSourceDialog.h"
#include "video/ui/VideoWindows.h"

namespace krl {
namespace {

StatisticsDialog* openStatistics() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = dynamic_cast<StatisticsDialog*>(w); d != nullptr && d->isVisible())
            return d;
    }
    return nullptr;
}

QString checksum(const QImage& image) {
    if (image.isNull())
        return QStringLiteral("0 0 0");
    quint64 sum = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width() * 3; ++x)
            sum = sum * 31 + row[x];
    }
    return QStringLiteral("%1 %2 %3").arg(rgb.width()).arg(rgb.height()).arg(sum);
}

// The open Video Format or Video Source dialog.
QDialog* openDriverDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = dynamic_cast<QDialog*>(w);
        if (d != nullptr && d->isVisible() &&
            (dynamic_cast<VideoFormatDialog*>(d) != nullptr ||
             dynamic_cast<VideoSourceDialog*>(d) != nullptr))
            return d;
    }
    return nullptr;
}

QString runVideo(VideoWindows& windows, QStringList words) {
    words.removeFirst();  // "video"
    if (words.isEmpty() || windows.call() == nullptr)
        return QStringLiteral("error");
    VideoCall& call = *windows.call();
    const QString verb = words[0];
    if (verb == QLatin1String("state")) {
        const LocalVideoStep& l = call.local();
        const RemoteVideoStep& r = call.remote();
        return QStringLiteral(
                   "local=%1 sending=%2 sent=%3 remote=%4 received=%5 fps=%6 bpf=%7 "
                   "localstatus=%8 remotestatus=%9 out=%10 in=%11")
            .arg(static_cast<int>(l.state()))
            .arg(l.isSending() ? 1 : 0)
            .arg(l.counters().frames)
            .arg(static_cast<int>(r.state()))
            .arg(r.totals().frames)
            .arg(QString::fromStdString(r.framesPerSecondText()))
            .arg(QString::fromStdString(r.bytesPerFrameText()))
            .arg(QString::fromStdString(l.statusText()).trimmed().replace(' ', '_'))
            .arg(QString::fromStdString(r.statusText()).trimmed().replace(' ', '_'))
            .arg(windows.outgoingState())
            .arg(windows.incomingState());
    }
    if (verb == QLatin1String("pause") && words.size() == 2) {
        if (words[1] == QLatin1String("local"))
            call.local().togglePause();
        else
            call.remote().togglePause();
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("picture") && words.size() == 2) {
        const bool remote = words[1] == QLatin1String("remote");
        const VideoManager& m = *windows.manager();
        return checksum(VideoPictureWidget::toImage(remote ? m.remotePicture() : m.localPicture()));
    }
    if (verb == QLatin1String("grab") && words.size() == 3) {
        QWidget* target = nullptr;
        if (words[1] == QLatin1String("local"))
            target = windows.localWindow();
        else if (words[1] == QLatin1String("remote"))
            target = windows.remoteWindow();
        else if (words[1] == QLatin1String("statistics"))
            target = openStatistics();
        else if (words[1] == QLatin1String("dialog"))
            target = openDriverDialog();
        if (target == nullptr || !target->isVisible())
            return QStringLiteral("error nothing to grab");
        return target->grab().save(words[2]) ? QStringLiteral("ok")
                                             : QStringLiteral("error cannot save");
    }
    if (verb == QLatin1String("statistics")) {
        StatisticsDialog* d = openStatistics();
        if (d == nullptr)
            return QStringLiteral("error no dialog");
        QStringList texts;
        for (int id : {353, 1193, 1276, 1277, 1278, 1144, 1279, 1280, 1281, 1282, 1146, 1284, 1285})
            texts.append(QStringLiteral("%1=%2").arg(id).arg(d->fieldText(id)));
        return texts.join(QLatin1Char('\t'));
    }
    if (verb == QLatin1String("dialog") || verb == QLatin1String("choose")) {
        QDialog* d = openDriverDialog();
        auto* box = d != nullptr ? d->findChild<QComboBox*>() : nullptr;
        if (box == nullptr)
            return QStringLiteral("error no dialog");
        if (verb == QLatin1String("dialog")) {
            QStringList texts{d->windowTitle()};
            for (int i = 0; i < box->count(); ++i)
                texts.append(box->itemText(i));
            return texts.join(QLatin1Char('\t'));
        }
        const int at = box->findText(words.mid(1).join(QLatin1Char(' ')));
        if (at < 0)
            return QStringLiteral("error no such entry");
        box->setCurrentIndex(at);
        QTimer::singleShot(0, d, &QDialog::accept);
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("close") && words.size() == 2) {
        if (StatisticsDialog* d = openStatistics()) {
            QTimer::singleShot(0, d, &QDialog::reject);
            return QStringLiteral("ok");
        }
        return QStringLiteral("error no dialog");
    }
    return QStringLiteral("error unknown command");
}

}  // namespace

void addVideoTestCommands(LineCommandServer& channel, VideoWindows& windows) {
    channel.add(QStringLiteral("video"),
                [&windows](const QStringList& words) { return runVideo(windows, words); });
}

}  // namespace krl
