#pragma once

#include <QLabel>

namespace wakeward {

// A product's artwork: the application icon when it can be loaded, otherwise its symbol.
class FenmarchProductArtwork : public QLabel {
    Q_OBJECT
public:
    FenmarchProductArtwork(const QString& name, const QString& symbol, int size,
                           QWidget* parent = nullptr);

    QString name() const { return m_name; }
    QString symbol() const { return m_symbol; }
    // True when the application icon is shown, false when the symbol stands in for it.
    bool showsIcon() const { return m_showsIcon; }

private:
    QString m_name;
    QString m_symbol;
    bool m_showsIcon = false;
};

} // namespace wakeward
