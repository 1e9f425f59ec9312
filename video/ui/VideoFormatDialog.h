#pragma once

#include <QDialog>
#include <vector>

#include "video/PictureSize.h"

class QComboBox;

namespace krl {

// "Video Format": the picture size the camera delivers, from the sizes it offers.
class VideoFormatDialog : public QDialog {
public:
    VideoFormatDialog(QWidget* parent, std::vector<PictureSize> sizes, PictureSize current);

    PictureSize chosen() const;
    QComboBox* sizeBox() const { return box_; }

private:
    std::vector<PictureSize> sizes_;
    QComboBox* box_ = nullptr;
};

}  // namespace krl
