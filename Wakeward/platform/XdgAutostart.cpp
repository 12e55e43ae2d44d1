#include "platform/XdgAutostart.h"

#include "platform/XdgFolders.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTextStream>

namespace wakeward {

XdgAutostart::XdgAutostart(QString configHome, QString command)
    : m_configHome(std::move(configHome)), m_command(std::move(command)) {}

QString XdgAutostart::userConfigHome() {
    const auto folder = xdg::configHome();
    return folder ? QString::fromStdString(folder->string())
                  : QDir::home().filePath(QStringLiteral(".config"));
}

QString XdgAutostart::entryPath() const {
    return QDir(m_configHome).filePath(QStringLiteral("autostart/org.fenmarch.Wakeward.desktop"));
}

bool XdgAutostart::enabled() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // A user or desktop that hid the entry has switched it off.
    QTextStream stream(&file);
    bool inMainGroup = false;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup &&
                 line.section(QLatin1Char('='), 0, 0).trimmed() == QLatin1String("Hidden") &&
                 line.section(QLatin1Char('='), 1)
                         .trimmed()
                         .compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

std::optional<std::string> XdgAutostart::setEnabled(bool enable) {
    const QString path = entryPath();
    if (!enable) {
        if (QFile::exists(path) && !QFile::remove(path))
            return "The autostart entry " + path.toStdString() + " could not be removed.";
        return std::nullopt;
    }
    if (!QDir().mkpath(QDir(m_configHome).filePath(QStringLiteral("autostart"))))
        return "The folder " +
               QDir(m_configHome).filePath(QStringLiteral("autostart")).toStdString() +
               " could not be created.";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return "The autostart entry could not be written: " + file.errorString().toStdString();
    QTextStream out(&file);
    out << "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Wakeward\n"
           "Comment=Keep the computer from idle sleep while you have a reason\n"
        << "Exec=" << m_command << "\n"
        << "Icon=org.fenmarch.Wakeward\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    if (!file.commit())
        return "The autostart entry could not be written: " + file.errorString().toStdString();
    return std::nullopt;
}

} // namespace wakeward
