#pragma once

#include <QTemporaryDir>

namespace ovra::test {

// Points HOME and every XDG folder at a private temporary folder for the whole test run, so no
// test ever reads or writes the real home. Must be created before any Qt object.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();

private:
    QTemporaryDir m_root;
};

} // namespace ovra::test
