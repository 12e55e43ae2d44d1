#pragma once

#include <QUrl>
#include <QWidget>

class QLabel;

namespace wakeward {

// The branded head of the sidebar: the product artwork, the name, the maker's line and a
// link to the maker's website tagged with the app's word.
class FenmarchHeader : public QWidget {
    Q_OBJECT
public:
    FenmarchHeader(const QString& name, const QString& symbol, const QString& source,
                   QWidget* parent = nullptr);

    QString name() const { return m_name; }
    QString symbol() const { return m_symbol; }
    QString source() const { return m_source; }
    // Where the website link leads.
    QUrl linkUrl() const { return m_url; }
    QLabel* link() const { return m_link; }

private:
    QString m_name;
    QString m_symbol;
    QString m_source;
    QUrl m_url;
    QLabel* m_link = nullptr;
};

} // namespace wakeward
