#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QProgressBar;

namespace krl {

// The file transfer window's status bar: five panes, the sending progress bar over pane 1 and
// the receiving one over pane 4, each with the file's name as its tool tip.
class TransferStatusBar : public QWidget {
    Q_OBJECT

public:
    enum class Side { Sending = 0, Receiving = 1 };
    static constexpr int kPanes = 5;
    static constexpr int kSendBarId = 850315;
    static constexpr int kReceiveBarId = 850314;

    // Right edges of the five panes for a bar of client width w (u = w / 10, integer steps).
    static std::array<int, kPanes> paneEdges(int width);

    explicit TransferStatusBar(QWidget* parent = nullptr);

    void startTransfer(Side side, const QString& fileName);
    void setProgress(Side side, int percent);
    void clearTransfer(Side side);

    QString paneText(int pane) const { return texts_.at(static_cast<std::size_t>(pane)); }
    // Texts actually written (a text equal to the one shown is not written again).
    int textUpdates() const { return textUpdates_; }
    QProgressBar* bar(Side side) const { return side == Side::Sending ? send_ : receive_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setPaneText(int pane, const QString& text);
    QRect paneRect(int pane) const;
    void layoutBars();

    std::array<QString, kPanes> texts_;
    QProgressBar* send_ = nullptr;
    QProgressBar* receive_ = nullptr;
    int textUpdates_ = 0;
};

}  // namespace krl
