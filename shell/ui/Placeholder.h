#pragma once

#include <QDialog>
#include <QString>

namespace krl {

// Stands in for a window that this version of the program does not have yet: says so and
// closes. Shown without blocking the caller; the pump runs on underneath.
class Placeholder : public QDialog {
    Q_OBJECT

public:
    Placeholder(const QString& feature, QWidget* parent);
    const QString& feature() const { return feature_; }

    static Placeholder* open(const QString& feature, QWidget* parent);

private:
    QString feature_;
};

}  // namespace krl
