#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace ovra {

// Replaces `path` with `data` in one step: readers see the old or the new content, never a mix.
// The new file is created with `mode` before anything is written into it, so secrets are never
// readable by others, not even for an instant. Missing parent folders are created with `dirMode`.
// Returns false on any failure, leaving the old file in place.
bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode = 0600,
                         mode_t dirMode = 0700);

// The whole content of `path`, or nothing when it is missing or unreadable.
std::optional<QByteArray> readWholeFile(const QString& path);

} // namespace ovra
