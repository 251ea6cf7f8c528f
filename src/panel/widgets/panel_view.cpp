#include "panel/widgets/panel_view.h"

#include "engines/translation_coordinator.h"
#include "panel/widgets/busy_indicator.h"
#include "panel/widgets/fitting_scroll_area.h"
#include "panel/widgets/panel_icons.h"
#include "settings/l10n.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace ovra {

namespace {

// Light text and quiet controls on the panel's dark translucent background.
const QString panelStyleSheet = QStringLiteral(R"(
QWidget#panelView { background: transparent; }
QLabel { color: #f4f4f6; background: transparent; }
QLabel[tone="secondary"] { color: rgba(235, 235, 245, 160); font-size: 11px; }
QLabel[tone="error"] { color: #ff6961; font-size: 11px; }
QLabel#resultText { font-size: 13px; }
QToolButton, QPushButton {
    color: #f4f4f6; background: rgba(255, 255, 255, 24); border: 1px solid rgba(255, 255, 255, 30);
    border-radius: 6px; padding: 3px 4px;
}
QToolButton:hover, QPushButton:hover { background: rgba(255, 255, 255, 42); }
QToolButton:pressed, QPushButton:pressed { background: rgba(255, 255, 255, 16); }
QToolButton#iconButton { padding: 3px 3px; }
QToolButton#closeButton { background: transparent; border: none; padding: 3px; }
QToolButton#closeButton:hover { background: rgba(255, 255, 255, 30); }
QPushButton[prominent="true"] { background: #2f7cf6; border-color: #2f7cf6; color: #ffffff; }
QPushButton[prominent="true"]:hover { background: #4a8ff8; }
QPushButton:disabled { background: rgba(255, 255, 255, 12); border-color: rgba(255, 255, 255, 16);
    color: rgba(255, 255, 255, 90); }
QFrame#divider { background: rgba(255, 255, 255, 34); border: none; }
QFrame#engineBadge { background: rgba(235, 235, 245, 34); border-radius: 8px; }
QFrame#engineBadge QLabel { color: rgba(235, 235, 245, 190); font-size: 10px; }
QComboBox {
    color: #f4f4f6; background: rgba(255, 255, 255, 24); border: 1px solid rgba(255, 255, 255, 30);
    border-radius: 6px; padding: 2px 8px; font-size: 12px;
}
QComboBox::drop-down { border: none; width: 16px; }
QComboBox::down-arrow { image: url(:/ovra/icons/chevron-down.svg); width: 10px; height: 10px; }
QComboBox QAbstractItemView { color: #f4f4f6; background: #2a2a2e; selection-background-color: #2f7cf6; }
QLineEdit {
    color: #ffffff; background: rgba(0, 0, 0, 60); border: 1px solid rgba(255, 255, 255, 40);
    border-radius: 6px; padding: 4px 7px; font-size: 12px; selection-background-color: #2f7cf6;
}
QLineEdit:focus { border-color: #2f7cf6; }
QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; border: none; }
QScrollBar:vertical { background: transparent; width: 6px; margin: 0; }
QScrollBar::handle:vertical { background: rgba(255, 255, 255, 70); border-radius: 3px; min-height: 20px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }
QLabel#userBubble { background: rgba(47, 124, 246, 64); border-radius: 8px; padding: 5px 8px; font-size: 12px; }
QLabel#answerBubble { background: rgba(235, 235, 245, 34); border-radius: 8px; padding: 5px 8px; font-size: 12px; }
)");

// Set on the widget rather than in the style sheet, so that the size it asks for fits its text.
void useButtonFont(QWidget* button) {
    QFont font = button->font();
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    button->setFont(font);
}

// Exactly as wide as icon and label need: the style's own guess leaves room the row lacks.
void fitWidth(QToolButton* button) {
    const int text = QFontMetrics(button->font()).horizontalAdvance(button->text());
    button->setFixedWidth(text + button->iconSize().width() + 18);
}

QToolButton* actionButton(const QString& title, PanelIcons::Symbol symbol, QWidget* parent) {
    auto* button = new QToolButton(parent);
    useButtonFont(button);
    button->setText(title);
    button->setIcon(PanelIcons::icon(symbol));
    button->setIconSize({12, 12});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    fitWidth(button);
    return button;
}

QToolButton* iconButton(PanelIcons::Symbol symbol, const QString& tooltip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("iconButton"));
    button->setIcon(PanelIcons::icon(symbol));
    button->setIconSize({12, 12});
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QPushButton* textButton(const QString& title, bool prominent, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    useButtonFont(button);
    button->setProperty("prominent", prominent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFixedHeight(1);
    return line;
}

QHBoxLayout* row(QWidget* owner) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    return layout;
}

QLabel* captionLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setProperty("tone", QStringLiteral("secondary"));
    // Status lines quote services' error messages: never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// A new icon or pixmap lays its row out again and repaints it, so one is set only when the
// symbol shown changes: the view renders on every piece of a streamed answer.
bool showsSymbol(QWidget* widget, PanelIcons::Symbol symbol) {
    const QVariant shown = widget->property("symbol");
    if (shown.isValid() && shown.toInt() == int(symbol))
        return true;
    widget->setProperty("symbol", int(symbol));
    return false;
}

void setTone(QLabel* label, const QString& tone) {
    if (label->property("tone").toString() == tone)
        return;
    label->setProperty("tone", tone);
    // Property selectors are matched when the style is applied, so apply it again.
    label->style()->unpolish(label);
    label->style()->polish(label);
}

struct EngineLook {
    const char* key;
    PanelIcons::Symbol symbol;
};

EngineLook engineLook(EngineKind engine) {
    switch (engine) {
    case EngineKind::google:
        return {"engine.google", PanelIcons::Symbol::engineGoogle};
    case EngineKind::online:
        return {"engine.online", PanelIcons::Symbol::engineOnline};
    case EngineKind::onDevice:
        return {"engine.onDevice", PanelIcons::Symbol::engineOnDevice};
    }
    return {"engine.onDevice", PanelIcons::Symbol::engineOnDevice};
}

} // namespace

PanelView::PanelView(PanelViewModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("panelView"));
    setFixedWidth(panelWidth);
    setStyleSheet(panelStyleSheet);
    build();
    connect(&m_model, &PanelViewModel::changed, this, &PanelView::render);
    connect(&m_model.translationCoordinator(), &TranslationCoordinator::preparationNoteChanged,
            this, [this] {
                const bool wasShown = !m_preparationRow->isHidden();
                renderPreparationNote();
                if (wasShown != !m_preparationRow->isHidden())
                    m_model.notifyLayoutChange();
            });
    render();
}

PanelView::~PanelView() = default;

void PanelView::build() {
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(10, 10, 10, 10);
    m_column->setSpacing(8);
    m_column->setSizeConstraint(QLayout::SetNoConstraint);

    // 1. Actions.
    auto* actions = new QWidget(this);
    auto* actionsLayout = row(actions);
    m_translate = actionButton(text("panel.translate"), PanelIcons::Symbol::translate, actions);
    m_reformulate =
        actionButton(text("panel.reformulate"), PanelIcons::Symbol::reformulate, actions);
    m_copy = actionButton(text("panel.copy"), PanelIcons::Symbol::copy, actions);
    m_more = iconButton(PanelIcons::Symbol::moreOptions, text("panel.moreOptions"), actions);
    m_close = iconButton(PanelIcons::Symbol::close, text("panel.close"), actions);
    m_close->setObjectName(QStringLiteral("closeButton"));
    for (QWidget* widget :
         {static_cast<QWidget*>(m_translate), static_cast<QWidget*>(m_reformulate),
          static_cast<QWidget*>(m_copy), static_cast<QWidget*>(m_more)})
        actionsLayout->addWidget(widget);
    actionsLayout->addStretch(1);
    actionsLayout->addWidget(m_close);
    m_column->addWidget(actions);

    connect(m_translate, &QToolButton::clicked, &m_model, &PanelViewModel::translate);
    connect(m_reformulate, &QToolButton::clicked, &m_model, &PanelViewModel::reformulate);
    connect(m_copy, &QToolButton::clicked, this, [this] {
        if (m_model.snapshot())
            m_model.copy(m_model.snapshot()->text);
    });
    connect(m_more, &QToolButton::clicked, this, [this] {
        m_model.setAIExpanded(!m_model.aiExpanded());
        m_model.notifyLayoutChange();
    });
    connect(m_close, &QToolButton::clicked, &m_model, &PanelViewModel::hideRequested);

    // 2. More options.
    m_moreRow = new QWidget(this);
    auto* moreLayout = row(m_moreRow);
    m_review = actionButton(text("panel.review"), PanelIcons::Symbol::review, m_moreRow);
    m_summarize = actionButton(text("panel.summarize"), PanelIcons::Symbol::summarize, m_moreRow);
    m_ask = actionButton(text("panel.ask"), PanelIcons::Symbol::ask, m_moreRow);
    moreLayout->addWidget(m_review);
    moreLayout->addWidget(m_summarize);
    moreLayout->addWidget(m_ask);
    moreLayout->addStretch(1);
    m_column->addWidget(m_moreRow);
    connect(m_review, &QToolButton::clicked, &m_model, &PanelViewModel::review);
    connect(m_summarize, &QToolButton::clicked, &m_model, &PanelViewModel::summarize);
    connect(m_ask, &QToolButton::clicked, &m_model, &PanelViewModel::startAsk);

    // 3. Working.
    m_workingRow = new QWidget(this);
    auto* workingLayout = row(m_workingRow);
    m_workingSpinner = new BusyIndicator(12, m_workingRow);
    m_workingText = captionLabel(m_workingRow);
    m_workingText->setWordWrap(false);
    workingLayout->addWidget(m_workingSpinner);
    workingLayout->addWidget(m_workingText, 1);
    m_column->addWidget(m_workingRow);

    // 4. Preparation note of the on-device translation.
    m_preparationRow = new QWidget(this);
    auto* preparationLayout = row(m_preparationRow);
    m_preparationSpinner = new BusyIndicator(12, m_preparationRow);
    m_preparationText = captionLabel(m_preparationRow);
    preparationLayout->addWidget(m_preparationSpinner, 0, Qt::AlignTop);
    preparationLayout->addWidget(m_preparationText, 1);
    m_column->addWidget(m_preparationRow);

    // 5a. Result.
    m_resultSection = new QWidget(this);
    auto* resultLayout = new QVBoxLayout(m_resultSection);
    resultLayout->setContentsMargins(0, 0, 0, 0);
    resultLayout->setSpacing(8);
    resultLayout->addWidget(divider(m_resultSection));
    m_picker = new QComboBox(m_resultSection);
    m_picker->setAccessibleName(text("panel.destination"));
    m_picker->setMaxVisibleItems(16);
    m_picker->setFocusPolicy(Qt::NoFocus);
    for (const TargetLanguage& language : TargetLanguage::allCases())
        m_picker->addItem(language.displayName, language.code);
    resultLayout->addWidget(m_picker, 0, Qt::AlignLeft);
    // `activated` comes only from the user, never from keeping the picker in step with the model.
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        const QList<TargetLanguage>& all = TargetLanguage::allCases();
        if (index >= 0 && index < all.size() && !(all[index] == m_model.targetLanguage()))
            m_model.chooseTargetLanguage(all[index]);
    });
    m_result = new QLabel;
    m_result->setObjectName(QStringLiteral("resultText"));
    m_result->setWordWrap(true);
    m_result->setTextFormat(Qt::PlainText);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    // A long result scrolls inside the panel, which never outgrows its screen.
    m_resultScroll = new FittingScrollArea(m_result, contentWidth, m_resultSection);
    resultLayout->addWidget(m_resultScroll, 1);

    auto* badgeBox = new QFrame(m_resultSection);
    badgeBox->setObjectName(QStringLiteral("engineBadge"));
    auto* badgeLayout = new QHBoxLayout(badgeBox);
    badgeLayout->setContentsMargins(6, 2, 6, 2);
    badgeLayout->setSpacing(4);
    auto* badgeIcon = new QLabel(badgeBox);
    badgeIcon->setObjectName(QStringLiteral("engineBadgeIcon"));
    m_badge = new QLabel(badgeBox);
    badgeLayout->addWidget(badgeIcon);
    badgeLayout->addWidget(m_badge);
    resultLayout->addWidget(badgeBox, 0, Qt::AlignLeft);

    auto* resultButtons = new QWidget(m_resultSection);
    auto* resultButtonsLayout = row(resultButtons);
    m_replace = textButton(text("panel.replace"), true, resultButtons);
    m_copyResult = textButton(text("panel.copyResult"), false, resultButtons);
    resultButtonsLayout->addWidget(m_replace);
    resultButtonsLayout->addWidget(m_copyResult);
    resultButtonsLayout->addStretch(1);
    resultLayout->addWidget(resultButtons);
    m_column->addWidget(m_resultSection);
    connect(m_replace, &QPushButton::clicked, &m_model, &PanelViewModel::replace);
    connect(m_copyResult, &QPushButton::clicked, this, [this] {
        if (m_model.resultText() && !m_model.resultIsArriving())
            m_model.copy(*m_model.resultText());
    });

    // 5b. Chat.
    m_chatSection = new QWidget(this);
    auto* chatLayout = new QVBoxLayout(m_chatSection);
    chatLayout->setContentsMargins(0, 0, 0, 0);
    chatLayout->setSpacing(6);
    chatLayout->addWidget(divider(m_chatSection));
    m_chatHint = captionLabel(m_chatSection);
    m_chatHint->setText(text("panel.chatHint"));
    chatLayout->addWidget(m_chatHint);
    m_chatScroll = new QScrollArea(m_chatSection);
    m_chatScroll->setWidgetResizable(true);
    m_chatScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chatScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_chatScroll->setFrameShape(QFrame::NoFrame);
    m_chatList = new QWidget(m_chatScroll);
    m_chatListLayout = new QVBoxLayout(m_chatList);
    m_chatListLayout->setContentsMargins(0, 0, 0, 0);
    m_chatListLayout->setSpacing(6);
    m_chatListLayout->addStretch(1);
    m_chatScroll->setWidget(m_chatList);
    chatLayout->addWidget(m_chatScroll);

    auto* inputRow = new QWidget(m_chatSection);
    auto* inputLayout = row(inputRow);
    m_chatField = new QLineEdit(inputRow);
    m_chatField->setPlaceholderText(text("panel.askPlaceholder"));
    m_chatField->setAccessibleName(text("panel.askPlaceholder"));
    m_chatField->installEventFilter(this);
    m_send = textButton(text("panel.send"), true, inputRow);
    inputLayout->addWidget(m_chatField, 1);
    inputLayout->addWidget(m_send);
    chatLayout->addWidget(inputRow);
    m_column->addWidget(m_chatSection);
    connect(m_chatField, &QLineEdit::textChanged, this, &PanelView::updateSendEnabled);
    connect(m_chatField, &QLineEdit::returnPressed, this, &PanelView::submitChat);
    connect(m_send, &QPushButton::clicked, this, &PanelView::submitChat);

    // 6. Status: a service's error text can be long too.
    m_status = captionLabel(nullptr);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusScroll = new FittingScrollArea(m_status, contentWidth, this);
    m_column->addWidget(m_statusScroll);
    relabel();
}

QString PanelView::text(const char* key) const {
    return L10n::string(QString::fromLatin1(key), m_labelledIn);
}

void PanelView::relabel() {
    m_labelledIn = m_model.interfaceLanguage();
    const auto setLabel = [this](QToolButton* button, const char* key) {
        button->setText(text(key));
        fitWidth(button);
    };
    setLabel(m_translate, "panel.translate");
    setLabel(m_reformulate, "panel.reformulate");
    setLabel(m_copy, m_model.copiedFeedback() ? "panel.copied" : "panel.copy");
    setLabel(m_review, "panel.review");
    setLabel(m_summarize, "panel.summarize");
    setLabel(m_ask, "panel.ask");
    for (const auto& [button, key] :
         {std::pair{m_more, "panel.moreOptions"}, std::pair{m_close, "panel.close"}}) {
        button->setToolTip(text(key));
        button->setAccessibleName(text(key));
    }
    m_workingText->setText(text("panel.working"));
    m_picker->setAccessibleName(text("panel.destination"));
    m_replace->setText(text("panel.replace"));
    m_copyResult->setText(text("panel.copyResult"));
    m_chatHint->setText(text("panel.chatHint"));
    m_chatField->setPlaceholderText(text("panel.askPlaceholder"));
    m_chatField->setAccessibleName(text("panel.askPlaceholder"));
    m_send->setText(text("panel.send"));
    if (m_resultSection->isVisibleTo(this))
        renderResult(); // the engine badge
}

void PanelView::render() {
    using Mode = PanelViewModel::Mode;
    // A language chosen while the panel was open takes effect the next time it opens, with the
    // new content; labels never switch under the user's eyes.
    if (!isVisible() && m_model.interfaceLanguage() != m_labelledIn)
        relabel();
    m_copy->setText(m_model.copiedFeedback() ? text("panel.copied") : text("panel.copy"));
    fitWidth(m_copy);
    const PanelIcons::Symbol more =
        m_model.aiExpanded() ? PanelIcons::Symbol::fewerOptions : PanelIcons::Symbol::moreOptions;
    if (!showsSymbol(m_more, more))
        m_more->setIcon(PanelIcons::icon(more));
    m_moreRow->setVisible(m_model.aiExpanded());
    m_workingRow->setVisible(m_model.isWorking());
    renderPreparationNote();

    const bool asking = m_model.mode() == Mode::ask;
    m_chatSection->setVisible(asking);
    m_resultSection->setVisible(!asking && m_model.resultText().has_value());
    if (m_resultSection->isVisibleTo(this))
        renderResult();
    if (asking)
        renderChat();

    const std::optional<QString>& status = m_model.statusMessage();
    m_statusScroll->setVisible(status.has_value());
    m_status->setVisible(status.has_value());
    const QString statusText = PanelViewModel::shownText(status.value_or(QString()));
    if (m_status->text() != statusText) {
        m_status->setText(statusText);
        m_statusScroll->refit();
    }
    setTone(m_status,
            m_model.statusIsError() ? QStringLiteral("error") : QStringLiteral("secondary"));
    updateSendEnabled();
}

void PanelView::renderResult() {
    m_picker->setVisible(m_model.mode() == PanelViewModel::Mode::translate);
    const int index = int(TargetLanguage::allCases().indexOf(m_model.targetLanguage()));
    if (index >= 0 && m_picker->currentIndex() != index)
        m_picker->setCurrentIndex(index);
    const QString resultText = PanelViewModel::shownText(m_model.resultText().value_or(QString()));
    if (m_result->text() != resultText) {
        m_result->setText(resultText);
        m_resultScroll->refit();
    }

    QWidget* badgeBox = m_badge->parentWidget();
    const std::optional<EngineKind>& engine = m_model.resultEngine();
    badgeBox->setVisible(engine.has_value());
    if (engine) {
        const EngineLook look = engineLook(*engine);
        m_badge->setText(text(look.key));
        auto* icon = badgeBox->findChild<QLabel*>(QStringLiteral("engineBadgeIcon"));
        if (!showsSymbol(icon, look.symbol))
            icon->setPixmap(PanelIcons::icon(look.symbol).pixmap(11, 11));
    }
    m_replace->setVisible(m_model.canReplaceResult());
    m_replace->setEnabled(!m_model.isReplacing() && !m_model.resultIsArriving());
    m_copyResult->setEnabled(!m_model.resultIsArriving());
}

namespace {
// A wrapping label guesses a narrow width; let longer messages use the row.
int bubbleWidth(const QLabel& bubble, const QString& text) {
    const int textWidth = bubble.fontMetrics().horizontalAdvance(text) + 20;
    return std::min(textWidth, PanelView::panelWidth - 20 - 24 - 6 - 8);
}
} // namespace

void PanelView::renderChat() {
    const QList<PanelViewModel::Message>& messages = m_model.chatMessages();
    m_chatHint->setVisible(messages.isEmpty());
    m_chatScroll->setVisible(!messages.isEmpty());
    if (messages == m_shownMessages)
        return;

    // Messages are only ever appended within one conversation, and the last answer grows while
    // it is written; anything else starts afresh.
    const qsizetype kept = m_shownMessages.size();
    const bool lastGrew = kept > 0 && messages.size() >= kept &&
                          messages.mid(0, kept - 1) == m_shownMessages.mid(0, kept - 1) &&
                          messages[kept - 1].id == m_shownMessages[kept - 1].id &&
                          messages[kept - 1].text != m_shownMessages[kept - 1].text;
    if (lastGrew) {
        QWidget* line = m_chatListLayout->itemAt(int(kept - 1))->widget();
        auto* bubble = line->findChild<QLabel*>();
        bubble->setText(PanelViewModel::shownText(messages[kept - 1].text));
        bubble->setMinimumWidth(bubbleWidth(*bubble, messages[kept - 1].text));
        m_shownMessages[kept - 1] = messages[kept - 1];
    }
    const bool appended = messages.size() >= m_shownMessages.size() &&
                          messages.mid(0, m_shownMessages.size()) == m_shownMessages;
    if (!appended) {
        while (m_chatListLayout->count() > 1) {
            QLayoutItem* item = m_chatListLayout->takeAt(0);
            delete item->widget();
            delete item;
        }
        m_shownMessages.clear();
    }
    for (qsizetype i = m_shownMessages.size(); i < messages.size(); ++i) {
        const PanelViewModel::Message& message = messages[i];
        auto* line = new QWidget(m_chatList);
        auto* lineLayout = row(line);
        auto* bubble = new QLabel(PanelViewModel::shownText(message.text), line);
        bubble->setObjectName(message.isUser ? QStringLiteral("userBubble")
                                             : QStringLiteral("answerBubble"));
        bubble->setTextFormat(Qt::PlainText);
        bubble->setWordWrap(true);
        bubble->setTextInteractionFlags(Qt::TextSelectableByMouse);
        bubble->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Minimum);
        bubble->setMinimumWidth(bubbleWidth(*bubble, message.text));
        if (message.isUser) {
            lineLayout->addSpacing(24);
            lineLayout->addStretch(1);
            lineLayout->addWidget(bubble);
        } else {
            lineLayout->addWidget(bubble);
            lineLayout->addStretch(1);
            lineLayout->addSpacing(24);
        }
        m_chatListLayout->insertWidget(m_chatListLayout->count() - 1, line);
        line->show(); // measured below, before the layout would show it
    }
    m_shownMessages = messages;

    // As tall as the conversation, up to the limit; then it scrolls, newest at the bottom.
    const int listWidth = panelWidth - 20;
    const int wanted = m_chatListLayout->totalHeightForWidth(listWidth);
    m_chatScroll->setFixedHeight(std::min(std::max(wanted, 0), chatMaximumHeight));
    m_chatScroll->verticalScrollBar()->setValue(m_chatScroll->verticalScrollBar()->maximum());
    QMetaObject::invokeMethod(
        m_chatScroll,
        [scroll = QPointer<QScrollArea>(m_chatScroll)] {
            if (scroll)
                scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        },
        Qt::QueuedConnection);
}

void PanelView::renderPreparationNote() {
    const std::optional<QString>& note = m_model.translationCoordinator().preparationNote();
    m_preparationRow->setVisible(note.has_value());
    m_preparationText->setText(note.value_or(QString()));
}

void PanelView::updateSendEnabled() {
    m_send->setEnabled(!m_chatField->text().trimmed().isEmpty() && !m_model.isWorking());
}

void PanelView::submitChat() {
    const QString question = m_chatField->text();
    m_chatField->clear();
    m_model.sendChat(question);
}

QScrollArea* PanelView::resultScroll() const {
    return m_resultScroll;
}

QList<QLabel*> PanelView::chatBubbles() const {
    QList<QLabel*> bubbles;
    for (int i = 0; i < m_chatListLayout->count(); ++i) {
        if (QWidget* line = m_chatListLayout->itemAt(i)->widget())
            bubbles.append(line->findChild<QLabel*>());
    }
    return bubbles;
}

int PanelView::fittingHeight() const {
    m_column->activate();
    if (m_column->hasHeightForWidth())
        return m_column->totalHeightForWidth(panelWidth);
    return m_column->totalSizeHint().height();
}

void PanelView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_model.interfaceLanguage() != m_labelledIn) {
        relabel();
        m_model.notifyLayoutChange();
    }
}

bool PanelView::eventFilter(QObject* watched, QEvent* event) {
    // The panel comes up without the focus, so the source application keeps it; a click into the
    // question field is the one time the panel asks for the keyboard.
    if (watched == m_chatField && event->type() == QEvent::MouseButtonPress) {
        if (QWindow* handle = window()->windowHandle())
            handle->setFlag(Qt::WindowDoesNotAcceptFocus, false);
        window()->activateWindow();
        m_chatField->setFocus(Qt::MouseFocusReason);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ovra
