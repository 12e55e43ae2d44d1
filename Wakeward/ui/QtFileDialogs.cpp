#include "ui/QtFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace wakeward {

std::optional<std::filesystem::path> QtFileDialogs::openFile(const std::string& title) {
    const QString chosen = QFileDialog::getOpenFileName(m_parent, QString::fromStdString(title));
    if (chosen.isEmpty())
        return std::nullopt;
    return std::filesystem::path(QFile::encodeName(chosen).toStdString());
}

std::optional<std::filesystem::path> QtFileDialogs::saveFile(const std::string& proposedName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString chosen = QFileDialog::getSaveFileName(
        m_parent, QString(), QDir(folder).filePath(QString::fromStdString(proposedName)));
    if (chosen.isEmpty())
        return std::nullopt;
    return std::filesystem::path(QFile::encodeName(chosen).toStdString());
}

} // namespace wakeward
