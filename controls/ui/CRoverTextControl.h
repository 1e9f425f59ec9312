#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>

#include "controls/ui/CRoverControl.h"

class QTextLayout;

namespace krl {

// The text variant of the program's control: one block of text, vertically centred, optionally
// word-wrapped, inside an optional border, on the parent's background.
class CRoverTextControl : public CRoverControl {
    Q_OBJECT

public:
    explicit CRoverTextControl(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setTextFont(const QFont& font);
    void setBorder(int width);
    int border() const { return border_; }
    void setWordWrap(bool wrap);
    bool wordWrap() const { return wrap_; }

    // Fits the control to its text as painted: the width it has now is the most a wrapped line
    // may take; the result is the text's extent grown by the 4-pixel margin and the border.
    void sizeToText() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kMargin = 4;
    QSizeF layOut(QTextLayout& layout, qreal width) const;

    QString text_;
    int border_ = 0;
    bool wrap_ = false;
};

}  // namespace krl
