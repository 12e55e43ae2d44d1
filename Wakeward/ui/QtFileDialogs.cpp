#include "ui/QtFileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace wakeward {

QString QtFileDialogs::startFolder() const {
    return !m_lastFolder.isEmpty() && QDir(m_lastFolder).exists() ? m_lastFolder : QDir::homePath();
}

std::optional<std::filesystem::path> QtFileDialogs::chosen(const QString& file) {
    if (file.isEmpty())
        return std::nullopt;
    m_lastFolder = QFileInfo(file).absolutePath();
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

std::optional<std::filesystem::path> QtFileDialogs::openFile(const std::string& title) {
    return chosen(QFileDialog::getOpenFileName(m_parent, QString::fromStdString(title), startFolder()));
}

std::optional<std::filesystem::path> QtFileDialogs::saveFile(const std::string& proposedName) {
    QString folder = m_lastFolder;
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return chosen(QFileDialog::getSaveFileName(
        m_parent, QString(), QDir(folder).filePath(QString::fromStdString(proposedName))));
}

} // namespace wakeward
