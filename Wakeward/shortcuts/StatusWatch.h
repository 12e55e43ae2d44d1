#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>
#include <functional>
#include <optional>

namespace wakeward {

// Prints a status line whenever the instance announces a change and the line differs from the
// last one printed; the line comes from `read` (none when the instance cannot be read).
class StatusWatch : public QObject {
    Q_OBJECT
public:
    StatusWatch(std::function<std::optional<QString>()> read, QTextStream& out)
        : m_read(std::move(read)), m_out(out) {}

    // Prints the current line when it changed; false when it cannot be read.
    bool print() {
        const auto line = m_read();
        if (!line)
            return false;
        if (line != m_last) {
            m_out << *line << '\n';
            m_out.flush();
            m_last = line;
        }
        return true;
    }

public slots:
    void changed() { print(); }

private:
    std::function<std::optional<QString>()> m_read;
    QTextStream& m_out;
    std::optional<QString> m_last;
};

} // namespace wakeward
