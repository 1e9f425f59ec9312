#pragma once

#include <QProgressBar>
#include <QString>

namespace krl {

// The progress bar of a transfer (the transfer window's panes, the status bar): hidden and
// disabled until shown, with a label (the file's name) and its own position, so that setting
// the position it already has repaints nothing.
class CTransferProgress : public QProgressBar {
public:
    explicit CTransferProgress(QWidget* parent = nullptr, int id = 0);

    void showBar();
    void hideBar();
    void setLabel(const QString& label);
    const QString& label() const { return label_; }
    // Returns the position before; nothing changes when p is the current non-zero position.
    int setPosition(int p);
    int position() const { return position_; }
    // "<label> <position>%".
    QString describe() const;
    // The figures beside the percentage ("3100 CPS, 27% of the line, 0:15 left"), in the bar.
    void setFigures(const QString& figures);

private:
    void updateFormat();

    QString label_;
    QString figures_;
    int position_ = 0;
};

}  // namespace krl
