#pragma once

#include <QLabel>

namespace krl {

// A static text on a grey (0x808080) ground, with a font of its own.
class GreyLabel : public QLabel {
    Q_OBJECT

public:
    explicit GreyLabel(const QString& text = {}, QWidget* parent = nullptr);
};

}  // namespace krl
