#pragma once

#include "app/app_ui.h"

#include <memory>

class QDialog;
class QLineEdit;
class QMessageBox;

namespace ovra {

// The welcome, edit-name and about alerts. Each is built on its first showing and kept; showing
// it again brings the same window forward.
class FirstRunDialogs {
public:
    FirstRunDialogs();
    ~FirstRunDialogs();

    void showWelcome(std::function<void(const AppUI::WelcomeAnswer&)> done);
    void editUserName(const QString& current,
                      std::function<void(const std::optional<QString>&)> done);
    void showAbout(const QString& message);

    QDialog* welcome() const { return m_welcome.get(); }
    QDialog* editName() const { return m_editName.get(); }
    QMessageBox* about() const { return m_about.get(); }
    QLineEdit* welcomeField() const { return m_welcomeField; }
    QLineEdit* editNameField() const { return m_editNameField; }

private:
    void buildWelcome();
    void buildEditName();

    std::unique_ptr<QDialog> m_welcome;
    QLineEdit* m_welcomeField = nullptr;
    std::function<void(const AppUI::WelcomeAnswer&)> m_welcomeDone;
    std::unique_ptr<QDialog> m_editName;
    QLineEdit* m_editNameField = nullptr;
    std::function<void(const std::optional<QString>&)> m_editNameDone;
    std::unique_ptr<QMessageBox> m_about;
};

} // namespace ovra
