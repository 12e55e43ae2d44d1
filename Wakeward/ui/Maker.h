#pragma once

#include <QString>
#include <QUrl>
#include <QUrlQuery>

namespace wakeward::maker {

// The maker's web addresses; the README lists the same ones.
inline const QString website = QStringLiteral("https://fenmarch.org");
inline const QString websiteLabel = QStringLiteral("fenmarch.org");
inline const QString support = QStringLiteral("https://fenmarch.org/support");
inline const QString privacy = QStringLiteral("https://fenmarch.org/privacy");
inline const QString terms = QStringLiteral("https://fenmarch.org/terms");
inline const QString productPage = QStringLiteral("https://fenmarch.org/wakeward");

// The maker's other products, recommended on the welcome sheet.
struct Product {
    QString name;
    QString summary;
    QString address;
};
inline const Product products[] = {
    {QStringLiteral("Tallyfold"), QStringLiteral("Private time tracking"),
     QStringLiteral("https://fenmarch.org/tallyfold")},
    {QStringLiteral("Quaymark"), QStringLiteral("Bookmarks kept offline"),
     QStringLiteral("https://fenmarch.org/quaymark")},
};

// A link to one of the maker's pages, tagged with the app it came from and where in the app
// it was shown, so that the site can tell which link was followed.
inline QUrl brandedLink(const QString& address, const QString& source, const QString& content) {
    QUrl url(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("utm_source"), source);
    query.addQueryItem(QStringLiteral("utm_medium"), QStringLiteral("app"));
    query.addQueryItem(QStringLiteral("utm_campaign"), QStringLiteral("fenmarch_branding"));
    query.addQueryItem(QStringLiteral("utm_content"), content);
    url.setQuery(query);
    return url;
}

} // namespace wakeward::maker
