#include "shell/ui/SendToShortcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/Cp1252.h"
#include "shell/FrameLogic.h"

namespace krl {

SendToShortcut::SendToShortcut(QString home) : folder_(home + QStringLiteral("/SendTo")) {}

SendToShortcut::~SendToShortcut() {
    rename(kOwnName);
}

void SendToShortcut::cardReceived(const BusinessCard& card) {
    if (card.name.empty())
        return;
    if (auto plain = FrameLogic::plainName(cp1252ToUtf8(card.name)))
        rename(*plain);
}

void SendToShortcut::callEnded(CallEnd) {
    rename(kOwnName);
}

void SendToShortcut::rename(const std::string& to) {
    if (to == name_)
        return;
    const QDir dir(folder_);
    const QString oldPath =
        dir.filePath(QString::fromStdString(name_) + QStringLiteral(".desktop"));
    const QString newPath = dir.filePath(QString::fromStdString(to) + QStringLiteral(".desktop"));
    if (QFileInfo::exists(oldPath) && !QFileInfo::exists(newPath) &&
        QFile::rename(oldPath, newPath))
        name_ = to;
}

}  // namespace krl
