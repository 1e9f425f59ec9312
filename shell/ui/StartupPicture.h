#pragma once

#include <QLabel>

namespace krl {

// The start-up picture (bitmap 288): a bordered top-most window centred on the screen.
class StartupPicture : public QLabel {
    Q_OBJECT

public:
    static constexpr int kWidth = 504;
    static constexpr int kHeight = 334;
    StartupPicture();
};

}  // namespace krl
