#pragma once

#include "platform/session_autostart.h"

#include <QString>

namespace ovra::platform {

// The desktop entry in $XDG_CONFIG_HOME/autostart that makes the session start Ovra. The file is
// the only record: removing it by hand turns the start with the session off.
class XdgSessionAutostart final : public SessionAutostart {
public:
    // `program`: what the entry runs (by default this executable's path).
    explicit XdgSessionAutostart(QString program = {});

    // $XDG_CONFIG_HOME/autostart/<application id>.desktop
    static QString entryPath();

    // The entry exists and is not hidden or switched off.
    bool isEnabled() const override;
    // Writes or removes the entry; false when the file system refused.
    bool setEnabled(bool enabled) override;

private:
    QString m_program;
};

} // namespace ovra::platform
