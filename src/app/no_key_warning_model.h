#pragma once

#include <QObject>
#include <QString>

namespace ovra {

class Prefs;

// The state of the warning shown when the chosen AI provider has no key: one checkbox, whose every
// change is stored at once, so closing the window any way keeps the choice.
class NoKeyWarningModel final : public QObject {
    Q_OBJECT
public:
    explicit NoKeyWarningModel(Prefs& prefs, QObject* parent = nullptr);

    bool dontShowAgain() const { return m_dontShowAgain; }
    // Stores "suppressNoKeyWarning" = value when it changes.
    void setDontShowAgain(bool value);

    struct Texts {
        static QString windowTitle();
        static QString title();
        static QString callout();
        static QString explanation();
        static QString dontShowAgain();
        static QString notNow();
        static QString configureNow();
    };

private:
    Prefs& m_prefs;
    bool m_dontShowAgain = false;
};

} // namespace ovra
