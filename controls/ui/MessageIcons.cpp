#include "controls/ui/MessageIcons.h"

#include <QFontDatabase>
#include <QPainter>
#include <QSvgRenderer>

#include "resources/StringTable.h"

// The icons live in a static library; their resource must be registered by name.
static void registerMessageIcons() {
    Q_INIT_RESOURCE(MessageIcons);
}

namespace krl {

QPixmap messageIcon(int resource, int size) {
    static const bool registered = (registerMessageIcons(), true);
    (void)registered;
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(resource));
    if (!renderer.isValid())
        return QPixmap();
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QFont messageFont(const StringTable& table) {
    constexpr int kPointSize = 8;
    const QString family = QString::fromStdString(table.text(50));
    // "Ms Sans Serif" is a Windows bitmap font that Linux desktops do not have; font matching
    // would pick an arbitrary face for it, so it stands for the desktop's own sans-serif here.
    if (family.isEmpty() ||
        family.compare(QLatin1String("Ms Sans Serif"), Qt::CaseInsensitive) == 0 ||
        !QFontDatabase::hasFamily(family)) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSize(kPointSize);
        font.setWeight(QFont::Normal);
        return font;
    }
    QFont font(family, kPointSize, QFont::Normal);
    return font;
}

}  // namespace krl
