#include "shell/ui/FrameMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

#include "resources/StringTable.h"
#include "shell/CommandTable.h"

namespace krl {
namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

QMap<int, QAction*> buildFrameMenus(QMainWindow& window, const StringTable& strings,
                                    const std::function<void(CommandId)>& run) {
    QMap<int, QAction*> actions;
    auto named = [&actions, &run](QAction* a, CommandId id) {
        a->setObjectName(QStringLiteral("cmd%1").arg(static_cast<int>(id)));
        QObject::connect(a, &QAction::triggered, a, [run, id] { run(id); });
        actions.insert(static_cast<int>(id), a);
    };
    for (const MenuDefinition& m : CommandTable::menus()) {
        QMenu* menu = window.menuBar()->addMenu(qs(m.title));
        for (const MenuEntry& e : m.entries) {
            if (!e.command) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(qs(e.text).section(QLatin1Char('\t'), 0, 0));
            const std::string table = strings.text(static_cast<int>(*e.command));
            a->setStatusTip(qs(CommandTable::prompt(table)));
            a->setToolTip(qs(CommandTable::toolTip(table)));
            named(a, *e.command);
        }
    }
    for (const Accelerator& acc : CommandTable::accelerators()) {
        QAction* a = actions.value(static_cast<int>(acc.command));
        if (!a) {
            a = new QAction(&window);
            window.addAction(a);
            named(a, acc.command);
        }
        a->setShortcut(QKeySequence(qs(acc.keys)));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    return actions;
}

}  // namespace krl
