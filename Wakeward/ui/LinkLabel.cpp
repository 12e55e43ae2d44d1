#include "ui/LinkLabel.h"

#include <QDesktopServices>
#include <QEvent>

namespace wakeward {

LinkLabel::LinkLabel(const QString& text, const QUrl& url, QWidget* parent)
    : QLabel(parent), m_text(text), m_url(url) {
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(text);
    setToolTip(url.toString(QUrl::RemoveQuery));
    connect(this, &QLabel::linkActivated, this, [this] { QDesktopServices::openUrl(m_url); });
    render();
}

void LinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        render();
}

void LinkLabel::render() {
    // Rich text takes the application's link colour, not the window's; name it so that the
    // link stays readable in the dark appearance.
    setText(QStringLiteral("<a href=\"%1\" style=\"color:%2\">%3</a>")
                .arg(m_url.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                     palette().color(QPalette::Link).name(), m_text.toHtmlEscaped()));
}

} // namespace wakeward
