#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

namespace krl {

// The row under a video picture: the menu button (the menu opens below it), the Hold button
// and the status text.
class VideoButtonRow : public QWidget {
public:
    VideoButtonRow(QWidget* parent, const QString& menuTip, std::function<void(QPoint)> openMenu,
                   std::function<void()> hold);

    void setStatus(const QString& text);
    QString status() const;
    // The Hold button is there only while a call is up.
    void setHoldShown(bool shown);
    QToolButton* menuButton() const { return menu_; }
    QToolButton* holdButton() const { return hold_; }

private:
    QToolButton* menu_ = nullptr;
    QToolButton* hold_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace krl
