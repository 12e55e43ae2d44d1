#include "ui/FenmarchWelcome.h"

#include "ui/FenmarchGuidance.h"
#include "ui/Icons.h"
#include "ui/Maker.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

namespace {

// A product's tile: its initial on a coloured rounded square.
class ProductTile : public QWidget {
public:
    ProductTile(const QString& name, const QColor& colour, QWidget* parent)
        : QWidget(parent), m_initial(name.left(1)), m_colour(colour) {
        setFixedSize(36, 36);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
        QFont font = this->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.3);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, m_initial);
    }

private:
    QString m_initial;
    QColor m_colour;
};

// A card that opens a product's page when clicked or activated from the keyboard.
class ProductCard : public Card {
public:
    ProductCard(const maker::Product& product, const QColor& colour, QWidget* parent)
        : Card(parent), m_url(maker::brandedLink(product.address, QStringLiteral("wakeward"),
                                                 QStringLiteral("welcome"))) {
        setObjectName(QStringLiteral("product"));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(product.name);
        setAccessibleDescription(product.summary);
        setToolTip(product.address);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(12, 10, 12, 10);
        layout->setSpacing(10);
        layout->addWidget(new ProductTile(product.name, colour, this));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(0);
        auto* title = new QLabel(product.name, this);
        title->setFont(scaledFont(this, 1.0, true));
        texts->addWidget(title);
        texts->addWidget(captionLabel(product.summary, this));
        layout->addLayout(texts, 1);
    }

    QUrl url() const { return m_url; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (rect().contains(event->position().toPoint()))
            QDesktopServices::openUrl(m_url);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Space) {
            QDesktopServices::openUrl(m_url);
            return;
        }
        Card::keyPressEvent(event);
    }

private:
    QUrl m_url;
};

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

FenmarchWelcome::FenmarchWelcome(const QString& name, QWidget* window)
    : FenmarchSheet(window), m_name(name) {
    card()->setAccessibleName(QStringLiteral("Welcome to ") + name);
    card()->setMinimumWidth(480);
    QVBoxLayout* layout = cardLayout();
    auto* icon = new QLabel(card());
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(appIcon().pixmap(QSize(80, 80), devicePixelRatioF()));
    icon->setAccessibleName(name + QStringLiteral(" app icon"));
    layout->addWidget(icon);
    auto* title = centred(new QLabel(name, card()));
    title->setFont(scaledFont(this, 2.2, true));
    layout->addWidget(title);
    layout->addWidget(centred(captionLabel(QStringLiteral("software by fenmarch."), card())));
    layout->addSpacing(14);

    auto* more = new QLabel(QStringLiteral("More software by fenmarch."), card());
    more->setFont(scaledFont(this, 1.1, true));
    layout->addWidget(more);
    auto* products = new QHBoxLayout;
    products->setSpacing(10);
    const QColor colours[] = {QColor(0x2f, 0x8f, 0x6a), QColor(0x8a, 0x4f, 0xc4)};
    int i = 0;
    for (const maker::Product& product : maker::products)
        products->addWidget(new ProductCard(product, colours[i++ % 2], card()), 1);
    layout->addLayout(products);
    layout->addSpacing(10);

    m_showAtStartup = new QCheckBox(QStringLiteral("Show this welcome at startup"), card());
    m_showAtStartup->setChecked(fenmarch::preference(fenmarch::showWelcomeKey));
    connect(m_showAtStartup, &QCheckBox::toggled, this,
            [](bool on) { fenmarch::setPreference(fenmarch::showWelcomeKey, on); });
    layout->addWidget(m_showAtStartup, 0, Qt::AlignHCenter);
    m_continue = new QPushButton(QStringLiteral("Continue"), card());
    m_continue->setMinimumWidth(160);
    emphasise(m_continue);
    connect(m_continue, &QPushButton::clicked, this, &FenmarchWelcome::finish);
    setDefaultButton(m_continue);
    layout->addWidget(m_continue, 0, Qt::AlignHCenter);
    layout->addWidget(centred(
        captionLabel(QStringLiteral("Click the background or press Escape to continue."), card())));
}

QList<QUrl> FenmarchWelcome::productLinks() const {
    QList<QUrl> links;
    for (const QObject* child : card()->children())
        if (const auto* product = dynamic_cast<const ProductCard*>(child))
            links << product->url();
    return links;
}

} // namespace wakeward
