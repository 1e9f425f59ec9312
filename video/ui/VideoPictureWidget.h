#pragma once

#include <QImage>
#include <QWidget>

#include "video/Picture.h"

namespace krl {

// Draws a video picture (24-bit or 8-bit with its colour table) stretched over the widget.
class VideoPictureWidget : public QWidget {
public:
    explicit VideoPictureWidget(QWidget* parent = nullptr);
    void setPicture(const Picture& picture);
    void clear();
    const QImage& image() const { return image_; }
    static QImage toImage(const Picture& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

}  // namespace krl
