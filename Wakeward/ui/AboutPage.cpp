#include "ui/AboutPage.h"

#include "ui/FenmarchProductArtwork.h"
#include "ui/LinkLabel.h"
#include "ui/Maker.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace wakeward {

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    auto* group = new Card(this);
    auto* body = new QVBoxLayout(group);
    body->setContentsMargins(20, 18, 20, 18);
    body->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(new FenmarchProductArtwork(QStringLiteral("Wakeward"),
                                              QStringLiteral("moon.zzz"), 64, group));
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    auto* name = new QLabel(QStringLiteral("Wakeward"), group);
    name->setFont(scaledFont(this, 1.6, true));
    names->addWidget(name);
    names->addWidget(captionLabel(QStringLiteral("software by fenmarch."), group));
    top->addLayout(names, 1);
    top->setAlignment(names, Qt::AlignVCenter);
    body->addLayout(top);
    body->addSpacing(6);

    auto* version = new QLabel(QStringLiteral("Version 1.0 • Free • Linux\n"
                                              "© 2026 fenmarch. All rights reserved."),
                               group);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->addWidget(version);
    body->addSpacing(6);

    auto* links = new QHBoxLayout;
    links->setSpacing(20);
    const QString source = QStringLiteral("wakeward");
    links->addWidget(
        new LinkLabel(QStringLiteral("Explore software by fenmarch."),
                      maker::brandedLink(maker::website, source, QStringLiteral("about")), group));
    links->addWidget(new LinkLabel(
        QStringLiteral("Wakeward website"),
        maker::brandedLink(maker::productPage, source, QStringLiteral("about")), group));
    links->addStretch(1);
    body->addLayout(links);
    body->addSpacing(6);

    auto* actions = new QLabel(
        QStringLiteral("The command line and the D-Bus actions: Start Wakeward, Stop Wakeward, Wakeward "
                       "Status. Ctrl+Shift+S starts your configured session; Ctrl+Shift+E stops all "
                       "assertions and pauses automation."),
        group);
    actions->setWordWrap(true);
    body->addWidget(actions);
    layout->addWidget(group);
}

QList<LinkLabel*> AboutPage::links() const {
    return findChildren<LinkLabel*>();
}

} // namespace wakeward
