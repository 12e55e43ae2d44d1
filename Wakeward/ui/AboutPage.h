#pragma once

#include <QWidget>

namespace wakeward {

class LinkLabel;

// "About": the product, its version and maker, links to the maker and the product page, and
// the automation actions and keyboard commands.
class AboutPage : public QWidget {
    Q_OBJECT
public:
    explicit AboutPage(QWidget* parent = nullptr);

    QList<LinkLabel*> links() const;
};

} // namespace wakeward
