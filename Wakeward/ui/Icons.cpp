#include "ui/Icons.h"

// The icons are compiled into this static library; make sure the linker keeps them.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace wakeward {

namespace {
void ensureResources() {
    static const bool done = (initIconResources(), true);
    (void)done;
}
} // namespace

QIcon stateIcon(bool active) {
    ensureResources();
    return QIcon(active ? QStringLiteral(":/icons/org.fenmarch.Wakeward-active.svg")
                        : QStringLiteral(":/icons/org.fenmarch.Wakeward-idle.svg"));
}

QIcon appIcon() {
    ensureResources();
    return QIcon::fromTheme(QStringLiteral("org.fenmarch.Wakeward"),
                            QIcon(QStringLiteral(":/icons/org.fenmarch.Wakeward.svg")));
}

} // namespace wakeward
