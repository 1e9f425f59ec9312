#include "shell/ui/CAboutDialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "resources/StringTable.h"

namespace krl {

CAboutDialog::CAboutDialog(const StringTable& strings, std::function<void()> statistics,
                           QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDialog"));
    setWindowTitle(QStringLiteral("About Kestrelcall"));
    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/bitmaps/128.svg")).pixmap(64, 64));
    auto* version = new QLabel(QString::fromStdString(strings.text(kVersionString)), this);
    version->setObjectName(QStringLiteral("id%1").arg(kVersionId));
    auto line = [this] {
        auto* l = new QFrame(this);
        l->setFrameShape(QFrame::HLine);
        l->setFrameShadow(QFrame::Sunken);
        return l;
    };
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* stats =
        buttons->addButton(QStringLiteral("&Statistics..."), QDialogButtonBox::ActionRole);
    stats->setObjectName(QStringLiteral("id%1").arg(kStatisticsId));
    connect(stats, &QPushButton::clicked, this, [statistics = std::move(statistics)] {
        if (statistics)
            statistics();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Version:"), this), 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(line(), 2, 0, 1, 2);
    grid->addWidget(line(), 3, 0, 1, 2);
    grid->addWidget(buttons, 4, 0, 1, 2);
}

}  // namespace krl
