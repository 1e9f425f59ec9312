#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QString>

namespace krl {

// An owner-drawn picture button with up to four bitmaps: up, down, focus and disabled. A
// missing focus picture falls back to up, a missing disabled picture to up.
class PictureButton : public QAbstractButton {
    Q_OBJECT

public:
    // Bitmap names as resource names under ":/bitmaps/" (e.g. "173"); empty for none.
    PictureButton(int id, const QString& up, const QString& down, const QString& focus,
                  const QString& disabled, QWidget* parent = nullptr);

    int id() const { return id_; }
    QSize sizeHint() const override;
    // The picture the button shows now.
    const QPixmap& currentPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap load(const QString& name) const;

    int id_;
    QPixmap up_, down_, focus_, disabled_;
};

}  // namespace krl
