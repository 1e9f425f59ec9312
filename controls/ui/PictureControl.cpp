#include "controls/ui/PictureControl.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>

#include "controls/DibPicture.h"

namespace krl {
namespace {

QImage toImage(const DibPicture& dib) {
    QImage image(dib.width, dib.height, QImage::Format_RGB32);
    for (int y = 0; y < dib.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < dib.width; ++x) {
            const DibColour c = dib.pixel(x, y);
            line[x] = qRgb(c.red, c.green, c.blue);
        }
    }
    return image;
}

QImage readPicture(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > qint64(DibPicture::kMaxFileBytes))
        return {};
    const QByteArray bytes = file.read(qint64(DibPicture::kMaxFileBytes));
    const auto dib = DibPicture::read(std::string_view(bytes.constData(), bytes.size()));
    return dib ? toImage(*dib) : QImage();
}

}  // namespace

PictureControl::PictureControl(QWidget* parent) : QWidget(parent) {}

void PictureControl::setDefaultPicture(const QPixmap& picture) {
    default_ = picture;
    update();
}

bool PictureControl::loadFile(const QString& path) {
    if (!path_.isEmpty() && path.compare(path_, Qt::CaseInsensitive) == 0)
        return hasPicture();
    if (frame_.isNull())
        frame_ = geometry();
    clear(false);
    image_ = readPicture(path);
    if (image_.isNull()) {
        clear(true);
        return false;
    }
    path_ = path;
    fit();
    update();
    return true;
}

void PictureControl::clear(bool restoreSize) {
    image_ = QImage();
    path_.clear();
    if (restoreSize && !frame_.isNull())
        setGeometry(frame_);
    update();
}

void PictureControl::fit() {
    const QRect space = frame();
    const QSize drawn(qMin(image_.width(), space.width()), qMin(image_.height(), space.height()));
    QRect placed(QPoint(0, 0), drawn);
    placed.moveCenter(space.center());
    if (placed != geometry())
        setGeometry(placed);
}

void PictureControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (hasPicture()) {
        // The drawn size is the picture's, cut to the frame: the part that fits is shown.
        painter.drawImage(QPoint(0, 0), image_, QRect(QPoint(0, 0), size()));
        return;
    }
    if (default_.isNull())
        return;
    const QPixmap scaled =
        default_.size().boundedTo(size()) == default_.size()
            ? default_
            : default_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.drawPixmap((width() - scaled.width()) / 2, (height() - scaled.height()) / 2, scaled);
}

void PictureControl::copyToClipboard() const {
    if (hasPicture())
        QGuiApplication::clipboard()->setImage(image_);
}

void PictureControl::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu275"));
    QAction* copy = menu.addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("cmd32844"));
    copy->setEnabled(hasPicture());
    if (menu.exec(event->globalPos()) == copy)
        copyToClipboard();
}

}  // namespace krl
