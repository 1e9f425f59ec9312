#include "platform/qt/QtSoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>

namespace krl {

QtSoundPlayer::QtSoundPlayer(QString ringFile, QObject* parent)
    : QObject(parent), ringFile_(std::move(ringFile)) {}

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::playRing() {
    playFile(ringFile_);
}

void QtSoundPlayer::playFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // Created on first use: a machine without sound pays nothing until a sound is due.
    if (!effect_)
        effect_ = std::make_unique<QSoundEffect>();
    effect_->setSource(QUrl::fromLocalFile(path));
    effect_->play();
}

}  // namespace krl
