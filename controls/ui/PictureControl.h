#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

namespace krl {

// Shows one picture file (a business card picture, a snapshot) inside the space its dialog
// gave it: a picture larger than that space is cut to it, a smaller one is centred in it. The
// file goes through the validating reader of DibPicture; one that cannot be read leaves the
// control on its default picture. A right click offers "&Copy", which puts the picture on the
// clipboard.
class PictureControl : public QWidget {
    Q_OBJECT

public:
    explicit PictureControl(QWidget* parent = nullptr);

    // Shown while no picture is held (bitmap 203 in the dialogs).
    void setDefaultPicture(const QPixmap& picture);
    // Nothing happens when path names the file shown now (without regard to case). Otherwise
    // the picture is replaced; false when the file could not be read (the control is then
    // empty and shows the default picture).
    bool loadFile(const QString& path);
    // Lets the picture go; with restoreSize the control gets back the space it was laid out in.
    void clear(bool restoreSize = true);

    bool hasPicture() const { return !image_.isNull(); }
    const QImage& image() const { return image_; }
    const QString& path() const { return path_; }
    // The space the dialog gave the control (its first geometry).
    QRect frame() const { return frame_.isNull() ? geometry() : frame_; }
    // Puts the picture on the clipboard (the Copy menu).
    void copyToClipboard() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void fit();

    QString path_;
    QImage image_;
    QPixmap default_;
    QRect frame_;
};

}  // namespace krl
