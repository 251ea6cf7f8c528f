#include "dialogs/widgets/ai_settings_view.h"

#include "dialogs/ai_settings_model.h"
#include "widgets/window_presenter.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ovra {

namespace {

constexpr const char* green = "#2e7d32";
constexpr const char* red = "#c62828";

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* savedMark() {
    auto* label = new QLabel(QStringLiteral("chave salva ✓"));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    WindowPresenter::setTextColor(label, green);
    return label;
}

QLabel* link(const QString& objectName) {
    auto* label = new QLabel;
    label->setObjectName(objectName);
    label->setOpenExternalLinks(true);
    label->setTextFormat(Qt::RichText);
    return label;
}

QString linkHtml(const QUrl& url) {
    return QStringLiteral("<a href=\"%1\">Como obter a chave →</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped());
}

// Sets a field's text only when it differs, so typing keeps the cursor where it is.
void setText(QLineEdit* field, const QString& text) {
    if (field->text() != text)
        field->setText(text);
}

QLineEdit* secureField(const QString& objectName) {
    auto* field = new QLineEdit;
    field->setObjectName(objectName);
    field->setEchoMode(QLineEdit::Password);
    return field;
}

} // namespace

AISettingsView::AISettingsView(AISettingsModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(14);
    layout->addWidget(WindowPresenter::headline(QStringLiteral("Motores online")));
    layout->addWidget(divider());

    auto* service = new QVBoxLayout;
    service->setSpacing(6);
    auto* serviceTitle = new QLabel(QStringLiteral("Motor de tradução online"));
    QFont bold = serviceTitle->font();
    bold.setBold(true);
    serviceTitle->setFont(bold);
    service->addWidget(serviceTitle);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    m_providerGroup = new QButtonGroup(this);
    for (OnlineTranslationProvider provider : allCases<OnlineTranslationProvider>()) {
        auto* button = new QPushButton(label(provider));
        button->setObjectName(QStringLiteral("service.") + rawValue(provider));
        button->setCheckable(true);
        button->setAutoDefault(false);
        m_providerGroup->addButton(button, int(provider));
        segments->addWidget(button);
    }
    segments->addStretch();
    service->addLayout(segments);
    service->addWidget(WindowPresenter::caption(
        QStringLiteral("O Reformular usa sempre a IA online (o Google não reformula). Sem chave do "
                       "motor escolhido, a tradução cai para o aparelho.")));
    layout->addLayout(service);
    connect(m_providerGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_model.setProvider(OnlineTranslationProvider(id)); });

    layout->addWidget(divider());
    m_googleSection = buildGoogleSection();
    m_aiSection = buildAISection();
    layout->addWidget(m_googleSection);
    layout->addWidget(m_aiSection);
    layout->addWidget(divider());
    layout->addWidget(WindowPresenter::caption(m_model.keyStorageNote()));

    auto* bottom = new QHBoxLayout;
    m_savedNote = WindowPresenter::caption(QStringLiteral("Salvo ✓"), false);
    m_savedNote->setObjectName(QStringLiteral("savedNote"));
    WindowPresenter::setTextColor(m_savedNote, green);
    bottom->addWidget(m_savedNote);
    m_saveFailedNote = WindowPresenter::caption(AISettingsModel::saveFailureText(), false);
    m_saveFailedNote->setObjectName(QStringLiteral("saveFailedNote"));
    WindowPresenter::setTextColor(m_saveFailedNote, red);
    bottom->addWidget(m_saveFailedNote, 1);
    bottom->addStretch();
    auto* close = new QPushButton(QStringLiteral("Fechar"));
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    auto* save = new QPushButton(QStringLiteral("Salvar"));
    save->setObjectName(QStringLiteral("save"));
    save->setDefault(true);
    bottom->addWidget(close);
    bottom->addWidget(save);
    layout->addLayout(bottom);
    connect(close, &QPushButton::clicked, this, &AISettingsView::closeRequested);
    connect(save, &QPushButton::clicked, this, [this] { m_model.save(); });

    connect(&m_model, &AISettingsModel::changed, this, &AISettingsView::refresh);
    refresh();
}

QWidget* AISettingsView::buildGoogleSection() {
    auto* section = new QWidget;
    section->setObjectName(QStringLiteral("googleSection"));
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* heading = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Google Tradutor (Cloud Translation)"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    heading->addWidget(title);
    m_googleSaved = savedMark();
    m_googleSaved->setObjectName(QStringLiteral("googleSaved"));
    heading->addWidget(m_googleSaved);
    heading->addStretch();
    layout->addLayout(heading);

    m_embeddedNote = new QLabel(
        QStringLiteral("Chave do app ativa — as traduções saem pela chave padrão do Ovra."));
    m_embeddedNote->setObjectName(QStringLiteral("embeddedNote"));
    m_embeddedNote->setWordWrap(true);
    layout->addWidget(m_embeddedNote);

    m_googleKey = secureField(QStringLiteral("googleKey"));
    connect(m_googleKey, &QLineEdit::textEdited, &m_model, &AISettingsModel::setGoogleKeyInput);
    layout->addWidget(m_googleKey);

    m_removeGoogle = new QPushButton(QStringLiteral("Remover chave do Google"));
    m_removeGoogle->setObjectName(QStringLiteral("removeGoogle"));
    m_removeGoogle->setAutoDefault(false);
    connect(m_removeGoogle, &QPushButton::clicked, this, [this] { m_model.removeGoogleKey(); });
    layout->addWidget(m_removeGoogle, 0, Qt::AlignLeft);

    m_googleExplanation = WindowPresenter::caption(QString());
    m_googleExplanation->setObjectName(QStringLiteral("googleExplanation"));
    layout->addWidget(m_googleExplanation);
    auto* googleLink = link(QStringLiteral("googleKeyLink"));
    googleLink->setText(linkHtml(AISettingsModel::googleKeyPage()));
    layout->addWidget(googleLink);
    return section;
}

QWidget* AISettingsView::buildAISection() {
    auto* section = new QWidget;
    section->setObjectName(QStringLiteral("aiSection"));
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* heading = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("IA online"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    heading->addWidget(title);
    m_aiSaved = savedMark();
    m_aiSaved->setObjectName(QStringLiteral("aiSaved"));
    heading->addWidget(m_aiSaved);
    heading->addStretch();
    layout->addLayout(heading);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    m_aiProvider = new QComboBox;
    m_aiProvider->setObjectName(QStringLiteral("aiProvider"));
    for (AIProvider provider : allCases<AIProvider>())
        m_aiProvider->addItem(label(provider), int(provider));
    connect(m_aiProvider, &QComboBox::activated, this, [this](int index) {
        m_model.setAIProvider(AIProvider(m_aiProvider->itemData(index).toInt()));
    });
    form->addRow(QStringLiteral("Provedor de IA"), m_aiProvider);

    auto* urlCell = new QWidget;
    auto* urlLayout = new QHBoxLayout(urlCell);
    urlLayout->setContentsMargins(0, 0, 0, 0);
    m_baseURLField = new QLineEdit;
    m_baseURLField->setObjectName(QStringLiteral("baseURLField"));
    connect(m_baseURLField, &QLineEdit::textEdited, &m_model, &AISettingsModel::setBaseURL);
    m_baseURLText = new QLabel;
    m_baseURLText->setObjectName(QStringLiteral("baseURLText"));
    m_baseURLText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    urlLayout->addWidget(m_baseURLField);
    urlLayout->addWidget(m_baseURLText);
    form->addRow(QStringLiteral("URL base"), urlCell);

    m_modelField = new QLineEdit;
    m_modelField->setObjectName(QStringLiteral("modelField"));
    connect(m_modelField, &QLineEdit::textEdited, &m_model, &AISettingsModel::setModel);
    form->addRow(QStringLiteral("Modelo"), m_modelField);

    m_apiKey = secureField(QStringLiteral("apiKey"));
    connect(m_apiKey, &QLineEdit::textEdited, &m_model, &AISettingsModel::setAPIKeyInput);
    form->addRow(QStringLiteral("Chave de API"), m_apiKey);
    layout->addLayout(form);

    m_removeAI = new QPushButton(QStringLiteral("Remover chave da IA"));
    m_removeAI->setObjectName(QStringLiteral("removeAI"));
    m_removeAI->setAutoDefault(false);
    connect(m_removeAI, &QPushButton::clicked, this, [this] { m_model.removeAIKey(); });
    layout->addWidget(m_removeAI, 0, Qt::AlignLeft);

    m_aiHint = WindowPresenter::caption(QString());
    m_aiHint->setObjectName(QStringLiteral("aiHint"));
    layout->addWidget(m_aiHint);
    m_aiKeyLink = link(QStringLiteral("aiKeyLink"));
    layout->addWidget(m_aiKeyLink);
    return section;
}

void AISettingsView::refresh() {
    const bool google = m_model.provider() == OnlineTranslationProvider::google;
    if (QAbstractButton* button = m_providerGroup->button(int(m_model.provider())))
        button->setChecked(true);
    m_googleSection->setVisible(google);
    m_aiSection->setVisible(!google);

    m_googleSaved->setVisible(m_model.hasGoogleKey());
    m_embeddedNote->setVisible(m_model.usesEmbeddedGoogleKey());
    setText(m_googleKey, m_model.googleKeyInput());
    m_googleKey->setPlaceholderText(m_model.googleKeyPlaceholder());
    m_removeGoogle->setVisible(m_model.hasGoogleKey());
    m_googleExplanation->setText(m_model.googleExplanation());

    m_aiSaved->setVisible(m_model.hasAPIKey());
    m_aiProvider->setCurrentIndex(m_aiProvider->findData(int(m_model.aiProvider())));
    const bool editable = m_model.isBaseURLEditable();
    m_baseURLField->setVisible(editable);
    m_baseURLText->setVisible(!editable);
    setText(m_baseURLField, m_model.baseURL());
    m_baseURLField->setPlaceholderText(m_model.defaultBaseURL());
    m_baseURLText->setText(m_model.defaultBaseURL());
    setText(m_modelField, m_model.model());
    m_modelField->setPlaceholderText(m_model.defaultModel());
    setText(m_apiKey, m_model.apiKeyInput());
    m_apiKey->setPlaceholderText(m_model.apiKeyPlaceholder());
    m_removeAI->setVisible(m_model.hasAPIKey());
    m_aiHint->setText(m_model.aiHint());
    const std::optional<QUrl> page = m_model.aiKeyPage();
    m_aiKeyLink->setVisible(page.has_value());
    m_aiKeyLink->setText(page ? linkHtml(*page) : QString());

    m_savedNote->setVisible(m_model.savedFeedback());
    m_saveFailedNote->setVisible(m_model.saveFailed());
}

} // namespace ovra
