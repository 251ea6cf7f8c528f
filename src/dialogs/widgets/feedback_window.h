#pragma once

#include "dialogs/feedback_model.h"

#include <memory>

class QDialog;

namespace ovra {

class FeedbackView;

// The feedback form. Built on the first show() and kept, so an unsent message survives closing.
class FeedbackWindow {
public:
    // `baseURL`: scheme and host of the collection endpoint; empty disables sending.
    explicit FeedbackWindow(Prefs& prefs, QString baseURL = FeedbackModel::deploymentBaseURL());
    ~FeedbackWindow();

    void show();
    QDialog* window() const { return m_window.get(); }
    FeedbackModel* model() const { return m_model; }

private:
    void build();

    Prefs& m_prefs;
    QString m_baseURL;
    std::unique_ptr<QDialog> m_window;
    FeedbackModel* m_model = nullptr; // owned by the window
};

} // namespace ovra
