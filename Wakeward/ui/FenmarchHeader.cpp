#include "ui/FenmarchHeader.h"

#include "ui/FenmarchProductArtwork.h"
#include "ui/LinkLabel.h"
#include "ui/Maker.h"
#include "ui/Widgets.h"

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
    m_link = new LinkLabel(QStringLiteral("Visit ") + maker::websiteLabel, m_url, this);
    m_link->setFont(scaledFont(this, 0.9, false));
    m_link->setToolTip(QStringLiteral("software by fenmarch. Visit website"));
    m_link->setAccessibleDescription(m_link->toolTip());
    texts->addWidget(m_link);
    layout->addLayout(texts, 1);
    setToolTip(QStringLiteral("software by fenmarch. Visit website"));
}

} // namespace wakeward
