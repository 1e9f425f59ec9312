#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace krl {

class CTransferProgress;

// One side's row in the details area of the transfer window: the side's label, the file's
// name, its percentage and rate, a progress bar under them, and a stop button.
class TransferPane : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBarId = 12341;

    TransferPane(const QString& label, int stopCommand, QWidget* parent = nullptr);

    // A name (empty blanks it), a percentage and a rate in bytes per second (-1 leaves each).
    // The row is enabled by an update with a name and greyed by one without a name whose
    // percentage and rate are both 0.
    void update(const QString& path, int percent, long rate, const QString& figures = {});
    QString nameText() const;
    QString percentText() const;
    QString rateText() const;
    CTransferProgress* bar() const { return bar_; }

signals:
    void stopPressed();

private:
    QLabel* label_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* rate_ = nullptr;
    CTransferProgress* bar_ = nullptr;
    QToolButton* stop_ = nullptr;
    QString path_;
};

}  // namespace krl
