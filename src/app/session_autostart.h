#pragma once

#include <QString>

namespace ovra {

// The desktop entry in $XDG_CONFIG_HOME/autostart that makes the session start Ovra. The file is
// the only record: removing it by hand turns the start with the session off.
class SessionAutostart {
public:
    // `program`: what the entry runs (by default this executable's path).
    explicit SessionAutostart(QString program = {});

    // $XDG_CONFIG_HOME/autostart/<application id>.desktop
    static QString entryPath();

    // The entry exists and is not hidden or switched off.
    bool isEnabled() const;
    // Writes or removes the entry; false when the file system refused.
    bool setEnabled(bool enabled);

private:
    QString m_program;
};

} // namespace ovra
