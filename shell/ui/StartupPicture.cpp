#include "shell/ui/StartupPicture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace krl {

StartupPicture::StartupPicture()
    : QLabel(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("id33333"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAlignment(Qt::AlignCenter);
    setPixmap(QPixmap(QStringLiteral(":/bitmaps/288.svg")));
    setFixedSize(kWidth, kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center().x() - kWidth / 2, area.center().y() - kHeight / 2);
    }
}

}  // namespace krl
