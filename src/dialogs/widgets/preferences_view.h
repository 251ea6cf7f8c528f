#pragma once

#include "settings/quick_actions.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <map>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace ovra {

class PreferencesModel;

// The content of the preferences window. Every text is looked up again when the interface
// language changes, so the whole window switches at once.
class PreferencesView final : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesView(PreferencesModel& model, QWidget* parent = nullptr);
    ~PreferencesView() override;

Q_SIGNALS:
    void openEnginesRequested();
    void openIgnoredRequested();
    void closeRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct PackRow {
        QLabel* name = nullptr;
        QLabel* status = nullptr;
        QPushButton* download = nullptr;
        QProgressBar* busy = nullptr;
    };

    // One action's shortcut: its name, the combination, and its own recorder.
    struct ActionRow {
        QLabel* title = nullptr;
        QLabel* shortcut = nullptr;
        QPushButton* record = nullptr;
        QPushButton* clear = nullptr;
        QLabel* recording = nullptr;
    };

    void buildPackRows(QVBoxLayout* layout);
    void buildActionRows(QVBoxLayout* layout);
    void updateRefusal();
    void retranslate();
    void updateShortcut();
    void updateRecording(bool recording);
    void updateShortcutNotice();
    void updateShortcutHolder();
    void updatePackRow(const QString& code);
    void fillBaseLanguages();

    PreferencesModel& m_model;
    QLabel* m_heading = nullptr;
    QLabel* m_noTrayNotice = nullptr;
    QLabel* m_shortcutTitle = nullptr;
    QLabel* m_shortcutDesc = nullptr;
    QLabel* m_currentShortcut = nullptr;
    QPushButton* m_record = nullptr;
    QPushButton* m_restore = nullptr;
    QLabel* m_recording = nullptr; // the recorder: key presses reach the model only through it
    QLabel* m_shortcutRefused = nullptr;
    QLabel* m_shortcutNotice = nullptr;
    QLabel* m_shortcutHolder = nullptr;
    QPushButton* m_enableExtension = nullptr;
    QLabel* m_actionsTitle = nullptr;
    QLabel* m_actionsDesc = nullptr;
    std::map<QuickAction, ActionRow> m_actionRows;
    QLabel* m_actionRefused = nullptr;
    QLabel* m_languageTitle = nullptr;
    QComboBox* m_language = nullptr;
    QLabel* m_languageNote = nullptr;
    QCheckBox* m_startWithSession = nullptr;
    QLabel* m_packsTitle = nullptr;
    QLabel* m_packsDesc = nullptr;
    QLabel* m_packBaseLabel = nullptr;
    QComboBox* m_packBase = nullptr;
    std::map<QString, PackRow> m_packRows;
    QPushButton* m_openEngines = nullptr;
    QPushButton* m_openIgnored = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace ovra
