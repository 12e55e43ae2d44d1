#pragma once

#include <QLabel>
#include <QUrl>

namespace wakeward {

// A link that opens in the user's browser, drawn in the window's link colour in either
// appearance and reachable with the keyboard.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, const QUrl& url, QWidget* parent = nullptr);

    QString linkText() const { return m_text; }
    QUrl url() const { return m_url; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void render();

    QString m_text;
    QUrl m_url;
};

} // namespace wakeward
