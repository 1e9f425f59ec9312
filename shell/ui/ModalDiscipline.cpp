#include "shell/ui/ModalDiscipline.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace krl {
namespace {

bool isProgramWindow(const QWidget* w) {
    const Qt::WindowType type = w->windowType();
    return w->isVisible() && (type == Qt::Window || type == Qt::Dialog);
}

// w is the modal window or one it belongs to.
bool holdsModal(const QWidget* w, const QWidget* modal) {
    for (const QWidget* m = modal; m != nullptr; m = m->parentWidget()) {
        if (m == w)
            return true;
    }
    return false;
}

}  // namespace

ModalDiscipline::ModalDiscipline(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

ModalDiscipline::~ModalDiscipline() {
    qApp->removeEventFilter(this);
    end();
}

bool ModalDiscipline::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow() && !followPosted_) {
        // Looked at once things have settled: a window that hides is still on the modal stack.
        followPosted_ = true;
        QTimer::singleShot(0, this, [this] {
            followPosted_ = false;
            follow();
        });
    }
    return QObject::eventFilter(watched, event);
}

void ModalDiscipline::follow() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && !active_)
        begin(modal);
    else if (modal == nullptr && active_)
        end();
}

void ModalDiscipline::begin(QWidget* modal) {
    active_ = true;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!isProgramWindow(w) || holdsModal(w, modal) || w->windowModality() != Qt::NonModal)
            continue;
        if (w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
            w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
            w->show();
            lowered_.append(w);
        }
        if (w->isEnabled()) {
            w->setEnabled(false);
            disabled_.append(w);
        }
    }
}

void ModalDiscipline::end() {
    active_ = false;
    for (const QPointer<QWidget>& w : disabled_) {
        if (w)
            w->setEnabled(true);
    }
    for (const QPointer<QWidget>& w : lowered_) {
        if (!w)
            continue;
        const bool visible = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible)
            w->show();
    }
    disabled_.clear();
    lowered_.clear();
}

}  // namespace krl
