#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace wakeward {

class Model;

// The desktop part of an instance (tray, panel and window), seen from the part that runs
// without a display.
class Shell {
public:
    Shell() = default;
    virtual ~Shell() = default;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    /// Shows and raises the main window.
    virtual void activate() = 0;
};

// What a desktop build adds to an instance; empty members mean headless.
struct Desktop {
    /// The application object, made before anything else.
    std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)> application;
    /// The shell on the controller; `background` starts in the tray only.
    std::function<std::unique_ptr<Shell>(Model& model, bool background)> shell;
};

} // namespace wakeward
