#include "ui/FenmarchHeader.h"

#include "ui/FenmarchProductArtwork.h"
#include "ui/Maker.h"
#include "ui/Widgets.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace wakeward {

FenmarchHeader::FenmarchHeader(const QString& name, const QString& symbol, const QString& source,
                               QWidget* parent)
    : QWidget(parent), m_name(name), m_symbol(symbol), m_source(source),
      m_url(maker::brandedLink(maker::website, source, QStringLiteral("sidebar"))) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(10);
    layout->addWidget(new FenmarchProductArtwork(name, symbol, 40, this), 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* title = new QLabel(name, this);
    title->setFont(scaledFont(this, 1.25, true));
    texts->addWidget(title);
    texts->addWidget(captionLabel(QStringLiteral("software by fenmarch."), this));
    m_link = new QLabel(this);
    m_link->setFont(scaledFont(this, 0.9, false));
    m_link->setTextFormat(Qt::RichText);
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_link->setFocusPolicy(Qt::StrongFocus);
    m_link->setOpenExternalLinks(true);
    m_link->setToolTip(QStringLiteral("software by fenmarch. Visit website"));
    m_link->setAccessibleDescription(m_link->toolTip());
    refreshLink();
    texts->addWidget(m_link);
    layout->addLayout(texts, 1);
    setToolTip(QStringLiteral("software by fenmarch. Visit website"));
}

void FenmarchHeader::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshLink();
}

void FenmarchHeader::refreshLink() {
    // Rich text takes the application's link colour, not the window's; name it, so that the
    // link reads in the dark appearance as well.
    m_link->setText(QStringLiteral("<a href=\"%1\" style=\"color:%2\">Visit %3</a>")
                        .arg(m_url.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                             palette().color(QPalette::Link).name(), maker::websiteLabel));
}

} // namespace wakeward
