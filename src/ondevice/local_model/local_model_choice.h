#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace ovra {

// Which installed model of the local server answers.
namespace LocalModelChoice {

// Small instruction models, best first, as the server names them ("family" or "family:tag").
const QStringList& preferredModels();

// The model names in a /api/tags answer, in the server's order; none when it is not such an
// answer.
std::optional<QStringList> parseTags(const QByteArray& body);

// The first preferred model that is installed (any tag of a family counts), else the first
// installed one; none when nothing is installed.
std::optional<QString> choose(const QStringList& installed,
                              const QStringList& preferred = preferredModels());

} // namespace LocalModelChoice

} // namespace ovra
