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
    QPointer<QWidget> m_parent;
};

} // namespace wakeward
