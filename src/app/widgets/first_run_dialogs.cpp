#include "app/widgets/first_run_dialogs.h"

#include "app/shell_texts.h"
#include "widgets/window_presenter.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace ovra {

namespace {

// An alert: a headline, a message, a text field and two buttons (the first is the default).
struct Alert {
    QDialog* dialog;
    QLineEdit* field;
    QPushButton* first;
    QPushButton* second;
};

Alert buildAlert(QDialog* dialog, const QString& title, const QString& message, int fieldWidth,
                 const QString& firstText, const QString& secondText) {
    dialog->setWindowTitle(QStringLiteral("Ovra"));
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(WindowPresenter::headline(title));
    auto* body = new QLabel(message);
    body->setWordWrap(true);
    body->setFixedWidth(420);
    layout->addWidget(body);
    auto* field = new QLineEdit;
    field->setObjectName(QStringLiteral("name"));
    field->setPlaceholderText(ShellTexts::namePlaceholder());
    field->setFixedSize(fieldWidth, 24);
    layout->addWidget(field);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* second = new QPushButton(secondText);
    second->setObjectName(QStringLiteral("second"));
    auto* first = new QPushButton(firstText);
    first->setObjectName(QStringLiteral("first"));
    first->setDefault(true);
    buttons->addWidget(second);
    buttons->addWidget(first);
    layout->addLayout(buttons);
    QObject::connect(first, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(second, &QPushButton::clicked, dialog, &QDialog::reject);
    return {dialog, field, first, second};
}

void present(QDialog* dialog, QLineEdit* field) {
    WindowPresenter::present(dialog);
    field->setFocus(Qt::OtherFocusReason);
}

} // namespace

FirstRunDialogs::FirstRunDialogs() = default;
FirstRunDialogs::~FirstRunDialogs() = default;

void FirstRunDialogs::buildWelcome() {
    m_welcome = std::make_unique<QDialog>();
    const Alert alert =
        buildAlert(m_welcome.get(), ShellTexts::welcomeTitle(), ShellTexts::welcomeMessage(), 260,
                   ShellTexts::requestAccessibility(), ShellTexts::notNow());
    m_welcomeField = alert.field;
    // Closing by any way reports once; the name counts whichever button was pressed.
    QObject::connect(m_welcome.get(), &QDialog::finished, m_welcome.get(), [this](int result) {
        auto done = std::exchange(m_welcomeDone, nullptr);
        if (done)
            done({m_welcomeField->text(), result == QDialog::Accepted});
    });
}

void FirstRunDialogs::showWelcome(std::function<void(const AppUI::WelcomeAnswer&)> done) {
    if (!m_welcome)
        buildWelcome();
    m_welcomeDone = std::move(done);
    m_welcomeField->clear();
    present(m_welcome.get(), m_welcomeField);
}

void FirstRunDialogs::buildEditName() {
    m_editName = std::make_unique<QDialog>();
    const Alert alert =
        buildAlert(m_editName.get(), ShellTexts::editNameTitle(), ShellTexts::editNameMessage(),
                   240, ShellTexts::save(), ShellTexts::cancel());
    m_editNameField = alert.field;
    QObject::connect(m_editName.get(), &QDialog::finished, m_editName.get(), [this](int result) {
        auto done = std::exchange(m_editNameDone, nullptr);
        if (!done)
            return;
        if (result == QDialog::Accepted)
            done(m_editNameField->text());
        else
            done(std::nullopt);
    });
}

void FirstRunDialogs::editUserName(const QString& current,
                                   std::function<void(const std::optional<QString>&)> done) {
    if (!m_editName)
        buildEditName();
    m_editNameDone = std::move(done);
    m_editNameField->setText(current);
    present(m_editName.get(), m_editNameField);
}

void FirstRunDialogs::showAbout(const QString& message) {
    if (!m_about) {
        m_about = std::make_unique<QMessageBox>();
        m_about->setWindowTitle(QStringLiteral("Ovra"));
        m_about->setIcon(QMessageBox::Information);
        m_about->setStandardButtons(QMessageBox::Ok);
        m_about->setModal(false);
    }
    m_about->setText(ShellTexts::aboutTitle());
    m_about->setInformativeText(message);
    WindowPresenter::present(m_about.get());
}

} // namespace ovra
