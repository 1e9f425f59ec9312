#pragma once

#include <QDialog>

#include "video/StatisticsFigures.h"

class QLabel;

namespace krl {

// "Connection Statistics": a snapshot of the call's figures, taken when it opens.
class StatisticsDialog : public QDialog {
public:
    StatisticsDialog(QWidget* parent, const StatisticsTexts& texts);
    // The text shown in the control with this id (353, 1193, 1276...).
    QString fieldText(int id) const;
};

}  // namespace krl
