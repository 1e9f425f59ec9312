#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace krl {

// While a modal window of the program is up, the program's other windows are disabled and a
// window kept above all others (the remote video window's "always on top") leaves the top band
// so that it cannot cover the question; both come back when the last modal window goes.
// Windows a modal window belongs to stay as they are: the modality already holds them, and
// disabling a window disables the windows it owns, the modal one with it.
class ModalDiscipline : public QObject {
    Q_OBJECT

public:
    // Watches every window of the application from now on.
    explicit ModalDiscipline(QObject* parent = nullptr);
    ~ModalDiscipline() override;

    bool active() const { return active_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void begin(QWidget* modal);
    void end();

    bool active_ = false;
    bool followPosted_ = false;
    QList<QPointer<QWidget>> disabled_;
    QList<QPointer<QWidget>> lowered_;
};

}  // namespace krl
