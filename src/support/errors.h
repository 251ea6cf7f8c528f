#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace ovra {

// Base of every failure that may reach the user: it carries the text the interface shows as is.
// Components derive their own types so callers can tell them apart.
class Error : public std::exception {
public:
    explicit Error(QString description);

    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Thrown into work that was cancelled or superseded. Deliberately not an Error: nothing that
// catches Error to show it can catch this by accident.
class CancelledError final : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace ovra
