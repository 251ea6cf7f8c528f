#pragma once

#include <QHash>
#include <QString>

// The compiled-in interface texts, one table per language. Portuguese is complete; the others
// leave out what falls back to it.
namespace ovra::L10n::detail {

using Table = QHash<QString, QString>;

const Table& portuguese();
const Table& english();
const Table& spanish();
const Table& french();
const Table& german();
const Table& italian();

} // namespace ovra::L10n::detail
