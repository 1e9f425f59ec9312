#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <memory>

class QSoundEffect;

namespace krl {

// Plays the program's wave files asynchronously: the ring while a call comes in (from the ring
// file) and any other file named at the call (the page sound). A missing file or a machine
// without sound plays nothing.
class QtSoundPlayer : public QObject {
    Q_OBJECT

public:
    explicit QtSoundPlayer(QString ringFile, QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void playRing();
    void playFile(const QString& path);

private:
    QString ringFile_;
    std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace krl
