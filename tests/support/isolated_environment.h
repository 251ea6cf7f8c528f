#pragma once

#include <QTemporaryDir>

namespace ovra::test {

// Points HOME and every XDG folder at a private temporary folder for the whole test run, so no
// test ever reads or writes the real home. Must be created before any Qt object.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();
    const QString& root() const { return m_rootPath; }

private:
    QTemporaryDir m_root;
    QString m_rootPath;
};

} // namespace ovra::test
