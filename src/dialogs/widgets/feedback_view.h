#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace ovra {

class FeedbackModel;

// The feedback form's content, bound to its model.
class FeedbackView final : public QWidget {
    Q_OBJECT
public:
    explicit FeedbackView(FeedbackModel& model, QWidget* parent = nullptr);

Q_SIGNALS:
    void closeRequested();

private:
    void refresh();

    FeedbackModel& m_model;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_email = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_send = nullptr;
};

} // namespace ovra
