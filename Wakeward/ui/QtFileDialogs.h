#pragma once

#include "controller/FileDialogs.h"

#include <QPointer>
#include <QWidget>

namespace wakeward {

// The desktop's own open and save dialogs (through the portal where the desktop has one).
class QtFileDialogs final : public FileDialogs {
public:
    // `parent` is the window the dialogs belong to; they stay usable after it is gone.
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<std::filesystem::path> openFile(const std::string& title) override;
    std::optional<std::filesystem::path> saveFile(const std::string& proposedName) override;

private:
    // The folder of the last file chosen, else the home folder: never the process's working
    // folder, which means nothing to the user.
    QString startFolder() const;
    std::optional<std::filesystem::path> chosen(const QString& file);

    QPointer<QWidget> m_parent;
    QString m_lastFolder;
};

} // namespace wakeward
