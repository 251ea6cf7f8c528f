#pragma once

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ovra {

class AISettingsModel;

// The online engines window's content, bound to its model: every edit goes to the model and
// every change of the model is shown.
class AISettingsView final : public QWidget {
    Q_OBJECT
public:
    explicit AISettingsView(AISettingsModel& model, QWidget* parent = nullptr);

Q_SIGNALS:
    void closeRequested();

private:
    QWidget* buildGoogleSection();
    QWidget* buildAISection();
    void refresh();

    AISettingsModel& m_model;
    QButtonGroup* m_providerGroup = nullptr;
    QWidget* m_googleSection = nullptr;
    QWidget* m_aiSection = nullptr;
    QLabel* m_googleSaved = nullptr;
    QLabel* m_embeddedNote = nullptr;
    QLineEdit* m_googleKey = nullptr;
    QPushButton* m_removeGoogle = nullptr;
    QLabel* m_googleExplanation = nullptr;
    QLabel* m_aiSaved = nullptr;
    QComboBox* m_aiProvider = nullptr;
    QLineEdit* m_baseURLField = nullptr;
    QLabel* m_baseURLText = nullptr;
    QLineEdit* m_modelField = nullptr;
    QLineEdit* m_apiKey = nullptr;
    QPushButton* m_removeAI = nullptr;
    QLabel* m_aiHint = nullptr;
    QLabel* m_aiKeyLink = nullptr;
    QLabel* m_savedNote = nullptr;
    QLabel* m_saveFailedNote = nullptr;
};

} // namespace ovra
