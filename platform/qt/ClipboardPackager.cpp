#include "platform/qt/ClipboardPackager.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/MessagePresenter.h"
#include "transfer/ClipboardPackage.h"

namespace krl {
namespace {

constexpr int kTooManyOpenFiles = 4110;
constexpr int kDiskFull = 4080;

struct Package {
    int format;
    std::string bytes;
};

RgbPicture rgbOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    RgbPicture p;
    p.width = rgb.width();
    p.height = rgb.height();
    const std::size_t row = static_cast<std::size_t>(p.width) * 3;
    p.rgb.resize(row * static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y)
        std::copy_n(rgb.constScanLine(y), row, p.rgb.data() + row * static_cast<std::size_t>(y));
    return p;
}

// The packages of the clipboard's formats, in the order the clipboard lists them.
std::vector<Package> packagesOf(const QMimeData& data) {
    std::vector<Package> out;
    bool text = false;
    bool picture = false;
    for (const QString& f : data.formats()) {
        if (!text && f == QLatin1String("text/plain") && data.hasText()) {
            text = true;
            out.push_back(
                {static_cast<int>(ClipboardFormat::Text), textPackage(data.text().toStdString())});
        } else if (!picture && (f.startsWith(QLatin1String("image/")) ||
                                f == QLatin1String("application/x-qt-image"))) {
            const QImage image = qvariant_cast<QImage>(data.imageData());
            if (image.isNull())
                continue;
            picture = true;
            out.push_back({static_cast<int>(ClipboardFormat::Bitmap), bitmapPackage(rgbOf(image))});
        }
    }
    return out;
}

enum class Kind { Text, Picture };

// Whether a clipboard format holds text or a picture (every form of one stands for the same
// data: "text/plain;charset=utf-8" and "text/html" beside "text/plain", "image/png" beside Qt's
// own image). An older text's rich form left beside received plain text would be what an editor
// pastes.
bool holds(const QString& format, Kind kind) {
    return kind == Kind::Text ? format.startsWith(QLatin1String("text/"))
                              : format.startsWith(QLatin1String("image/")) ||
                                    format == QLatin1String("application/x-qt-image");
}

// Copies every format of old into `into` except those of the kind being restored. An image is
// kept as an image (its bytes would be empty), and the X selection's own targets ("TARGETS",
// "TIMESTAMP"), which are no data, are left out.
void keepOthers(const QMimeData& old, Kind restored, QMimeData& into) {
    for (const QString& f : old.formats()) {
        if (holds(f, restored) || !f.contains(QLatin1Char('/')))
            continue;
        if (f == QLatin1String("application/x-qt-image"))
            into.setImageData(old.imageData());
        else
            into.setData(f, old.data(f));
    }
}

// Writes the whole file; 0 or the errno.
int writeFile(const std::string& path, const std::string& bytes) {
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return errno != 0 ? errno : EIO;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int error = errno;
    if (std::fclose(f) != 0 || !written)
        return error != 0 ? error : (errno != 0 ? errno : EIO);
    return 0;
}

}  // namespace

void ClipboardPackager::fail(int error) {
    const int id = error == EMFILE || error == ENFILE   ? kTooManyOpenFiles
                   : error == ENOSPC || error == EDQUOT ? kDiskFull
                                                        : 0;
    if (id != 0)
        services_.messages.show(Message{id, MessageKind::Error, std::nullopt, std::nullopt}, {});
}

int ClipboardPackager::send(const QMimeData* data) {
    if (services_.sendQueued)
        services_.sendQueued();
    if (data == nullptr)
        return 0;
    const std::vector<Package> packages = packagesOf(*data);
    if (packages.empty())
        return 0;

    // A folder for this send alone.
    if (!QDir().mkpath(services_.tempDir)) {
        fail(errno);
        return 0;
    }
    std::string folder =
        QDir(services_.tempDir).filePath(QStringLiteral("clipboard-XXXXXX")).toStdString();
    errno = 0;
    if (::mkdtemp(folder.data()) == nullptr) {
        fail(errno);
        return 0;
    }
    int queued = 0;
    for (const Package& p : packages) {
        const std::string path = folder + "/" + std::string(packageFileName(p.format));
        if (const int error = writeFile(path, p.bytes); error != 0) {
            std::remove(path.c_str());
            fail(error);
            break;
        }
        services_.enqueue(QueueItem{path, std::string(kClipboardPackageType), p.format});
        ++queued;
    }
    if (queued == 0)
        QDir().rmdir(QString::fromStdString(folder));
    return queued;
}

void ClipboardPackager::discard(const std::string& path) {
    const QFileInfo package(QString::fromStdString(path));
    QFile::remove(package.filePath());
    const QDir folder = package.dir();
    if (folder.dirName().startsWith(QLatin1String("clipboard-")))
        QDir().rmdir(folder.path());  // only when empty
}

bool ClipboardPackager::restore(QClipboard& clipboard, const std::string& path, int format) {
    const bool text = format == static_cast<int>(ClipboardFormat::Text);
    const bool picture = format == static_cast<int>(ClipboardFormat::Bitmap) ||
                         format == static_cast<int>(ClipboardFormat::Dib);
    if (!text && !picture)
        return false;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > static_cast<qint64>(kMaxPackageBytes))
        return false;
    const QByteArray bytes = file.readAll();
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));

    // What the clipboard holds already stays beside the restored format, but not the text or
    // picture it replaces: a reader is served an older one's own forms before the received one.
    auto mime = std::make_unique<QMimeData>();
    if (const QMimeData* old = clipboard.mimeData())
        keepOthers(*old, text ? Kind::Text : Kind::Picture, *mime);
    if (text) {
        const std::optional<std::string> utf8 = textFromPackage(view);
        if (!utf8)
            return false;
        mime->setText(QString::fromStdString(*utf8));
    } else {
        const std::optional<RgbPicture> p = pictureFromPackage(view, format);
        if (!p)
            return false;
        QImage image(p->width, p->height, QImage::Format_RGB888);
        const std::size_t row = static_cast<std::size_t>(p->width) * 3;
        for (int y = 0; y < p->height; ++y)
            std::copy_n(p->rgb.data() + row * static_cast<std::size_t>(y), row, image.scanLine(y));
        mime->setImageData(image);
    }
    clipboard.setMimeData(mime.release());
    return true;
}

}  // namespace krl
