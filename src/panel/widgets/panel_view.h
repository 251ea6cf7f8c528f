#pragma once

#include "panel/panel_view_model.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace ovra {

class BusyIndicator;
class FittingScrollArea;

// The content of the floating panel: a column that renders a PanelViewModel and calls its
// operations. 340 wide; its height follows the content (heightForWidth). The typed chat question
// lives here and survives hiding and showing the panel.
class PanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 340;
    static constexpr int chatMaximumHeight = 180;
    // The width inside the panel's margins.
    static constexpr int contentWidth = panelWidth - 20;

    explicit PanelView(PanelViewModel& model, QWidget* parent = nullptr);
    ~PanelView() override;

    // The height the content needs at the panel's width.
    int fittingHeight() const;

    // Parts, for tests and the window.
    QToolButton* translateButton() const { return m_translate; }
    QToolButton* reformulateButton() const { return m_reformulate; }
    QToolButton* copyButton() const { return m_copy; }
    QToolButton* moreButton() const { return m_more; }
    QToolButton* closeButton() const { return m_close; }
    QWidget* moreOptionsRow() const { return m_moreRow; }
    QToolButton* reviewButton() const { return m_review; }
    QToolButton* summarizeButton() const { return m_summarize; }
    QToolButton* askButton() const { return m_ask; }
    QWidget* workingRow() const { return m_workingRow; }
    QWidget* preparationRow() const { return m_preparationRow; }
    QWidget* resultSection() const { return m_resultSection; }
    QComboBox* languagePicker() const { return m_picker; }
    QLabel* resultLabel() const { return m_result; }
    QLabel* engineBadge() const { return m_badge; }
    QPushButton* replaceButton() const { return m_replace; }
    QPushButton* copyResultButton() const { return m_copyResult; }
    QWidget* chatSection() const { return m_chatSection; }
    QLabel* chatHint() const { return m_chatHint; }
    QScrollArea* chatScroll() const { return m_chatScroll; }
    QLineEdit* chatField() const { return m_chatField; }
    QPushButton* sendButton() const { return m_send; }
    QLabel* statusLabel() const { return m_status; }
    QScrollArea* resultScroll() const;
    // The chat bubbles in order, each with whether it is the user's.
    QList<QLabel*> chatBubbles() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    // Sets every fixed text in the interface language stored now; until the next relabelling,
    // texts the view sets come in that language.
    void relabel();
    QString text(const char* key) const;
    void render();
    void renderResult();
    void renderChat();
    void renderPreparationNote();
    void updateSendEnabled();
    void submitChat();

    PanelViewModel& m_model;

    QVBoxLayout* m_column = nullptr;
    QToolButton* m_translate = nullptr;
    QToolButton* m_reformulate = nullptr;
    QToolButton* m_copy = nullptr;
    QToolButton* m_more = nullptr;
    QToolButton* m_close = nullptr;
    QWidget* m_moreRow = nullptr;
    QToolButton* m_review = nullptr;
    QToolButton* m_summarize = nullptr;
    QToolButton* m_ask = nullptr;
    QWidget* m_workingRow = nullptr;
    BusyIndicator* m_workingSpinner = nullptr;
    QLabel* m_workingText = nullptr;
    QWidget* m_preparationRow = nullptr;
    BusyIndicator* m_preparationSpinner = nullptr;
    QLabel* m_preparationText = nullptr;
    QWidget* m_resultSection = nullptr;
    QComboBox* m_picker = nullptr;
    QLabel* m_result = nullptr;
    FittingScrollArea* m_resultScroll = nullptr;
    QLabel* m_badge = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_copyResult = nullptr;
    QWidget* m_chatSection = nullptr;
    QLabel* m_chatHint = nullptr;
    QScrollArea* m_chatScroll = nullptr;
    QWidget* m_chatList = nullptr;
    QVBoxLayout* m_chatListLayout = nullptr;
    QList<PanelViewModel::Message> m_shownMessages;
    QLineEdit* m_chatField = nullptr;
    QPushButton* m_send = nullptr;
    QLabel* m_status = nullptr;
    FittingScrollArea* m_statusScroll = nullptr;
    AppLanguage m_labelledIn = AppLanguage::portugues;
};

} // namespace ovra
