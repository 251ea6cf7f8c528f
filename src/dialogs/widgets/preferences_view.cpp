#include "dialogs/widgets/preferences_view.h"

#include "dialogs/preferences_model.h"
#include "settings/l10n.h"
#include "widgets/window_presenter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace ovra {

namespace {

constexpr int contentWidth = 480;

QString text(const char* key, AppLanguage language) {
    return L10n::string(QString::fromLatin1(key), language);
}

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* sectionTitle() {
    auto* label = new QLabel;
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

// Takes the key presses sent to the recorder, and only those: keys typed in any other field or
// window stay theirs. Losing the keyboard ends recording, so it never outlives the window.
class RecordingKeyFilter final : public QObject {
public:
    RecordingKeyFilter(PreferencesModel& model, QObject* parent)
        : QObject(parent), m_model(model) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            if (!m_model.isRecording())
                break;
            // Keeps menu shortcuts and default buttons from taking the combination first.
            event->accept();
            return true;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            return m_model.handleRecordingKey(key->key(), key->modifiers());
        }
        case QEvent::FocusOut:
            m_model.stopRecording();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    PreferencesModel& m_model;
};

PreferencesView::PreferencesView(PreferencesModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    m_heading = WindowPresenter::headline(QString());
    m_heading->setFixedWidth(contentWidth);
    layout->addWidget(m_heading);
    m_noTrayNotice = WindowPresenter::caption(QString());
    m_noTrayNotice->setObjectName(QStringLiteral("noTrayNotice"));
    m_noTrayNotice->setFixedWidth(contentWidth);
    m_noTrayNotice->setVisible(!QSystemTrayIcon::isSystemTrayAvailable());
    layout->addWidget(m_noTrayNotice);

    // Shortcut.
    m_shortcutTitle = sectionTitle();
    layout->addWidget(m_shortcutTitle);
    m_shortcutDesc = WindowPresenter::caption(QString());
    layout->addWidget(m_shortcutDesc);
    m_currentShortcut = new QLabel;
    m_currentShortcut->setObjectName(QStringLiteral("currentShortcut"));
    layout->addWidget(m_currentShortcut);
    auto* shortcutRow = new QHBoxLayout;
    m_record = new QPushButton;
    m_record->setObjectName(QStringLiteral("record"));
    m_restore = new QPushButton;
    m_restore->setObjectName(QStringLiteral("restoreDefault"));
    // The prompt shown while recording is the recorder: it holds the keyboard meanwhile.
    m_recording = WindowPresenter::caption(QString(), false);
    m_recording->setObjectName(QStringLiteral("recording"));
    m_recording->setFocusPolicy(Qt::StrongFocus);
    m_recording->installEventFilter(new RecordingKeyFilter(model, m_recording));
    WindowPresenter::setTextColor(m_recording, "#e67e00");
    shortcutRow->addWidget(m_record);
    shortcutRow->addWidget(m_restore);
    shortcutRow->addWidget(m_recording);
    shortcutRow->addStretch();
    layout->addLayout(shortcutRow);
    // Which service holds the shortcut, and the trigger a desktop portal chose for it.
    m_shortcutHolder = WindowPresenter::caption(QString());
    m_shortcutHolder->setObjectName(QStringLiteral("shortcutHolder"));
    m_shortcutHolder->setFixedWidth(contentWidth);
    layout->addWidget(m_shortcutHolder);
    m_shortcutRefused = WindowPresenter::caption(QString());
    m_shortcutRefused->setObjectName(QStringLiteral("shortcutRefused"));
    m_shortcutRefused->setFixedWidth(contentWidth);
    WindowPresenter::setTextColor(m_shortcutRefused, "#d0302f");
    m_shortcutRefused->setVisible(false);
    layout->addWidget(m_shortcutRefused);
    // Where the desktop keeps the shortcut from the program: how to get it anyway.
    m_shortcutNotice = WindowPresenter::caption(QString());
    m_shortcutNotice->setObjectName(QStringLiteral("shortcutNotice"));
    m_shortcutNotice->setFixedWidth(contentWidth);
    layout->addWidget(m_shortcutNotice);
    m_enableExtension = new QPushButton;
    m_enableExtension->setObjectName(QStringLiteral("enableExtension"));
    layout->addWidget(m_enableExtension, 0, Qt::AlignLeft);

    // Each action's own shortcut.
    layout->addWidget(divider());
    m_actionsTitle = sectionTitle();
    layout->addWidget(m_actionsTitle);
    m_actionsDesc = WindowPresenter::caption(QString());
    m_actionsDesc->setFixedWidth(contentWidth);
    layout->addWidget(m_actionsDesc);
    buildActionRows(layout);
    m_actionRefused = WindowPresenter::caption(QString());
    m_actionRefused->setObjectName(QStringLiteral("actionShortcutRefused"));
    m_actionRefused->setFixedWidth(contentWidth);
    WindowPresenter::setTextColor(m_actionRefused, "#d0302f");
    m_actionRefused->setVisible(false);
    layout->addWidget(m_actionRefused);

    // Interface language.
    layout->addWidget(divider());
    m_languageTitle = sectionTitle();
    layout->addWidget(m_languageTitle);
    m_language = new QComboBox;
    m_language->setObjectName(QStringLiteral("appLanguage"));
    for (AppLanguage language : allCases<AppLanguage>())
        m_language->addItem(label(language), rawValue(language));
    layout->addWidget(m_language);
    m_languageNote = WindowPresenter::caption(QString());
    layout->addWidget(m_languageNote);
    m_startWithSession = new QCheckBox;
    m_startWithSession->setObjectName(QStringLiteral("startWithSession"));
    layout->addWidget(m_startWithSession);

    // Language packs.
    layout->addWidget(divider());
    m_packsTitle = sectionTitle();
    layout->addWidget(m_packsTitle);
    m_packsDesc = WindowPresenter::caption(QString());
    layout->addWidget(m_packsDesc);
    auto* baseRow = new QHBoxLayout;
    m_packBaseLabel = new QLabel;
    m_packBase = new QComboBox;
    m_packBase->setObjectName(QStringLiteral("packBase"));
    m_packBase->setFixedWidth(180);
    baseRow->addWidget(m_packBaseLabel);
    baseRow->addWidget(m_packBase);
    baseRow->addStretch();
    layout->addLayout(baseRow);
    auto* scroll = new QScrollArea;
    scroll->setFixedHeight(170);
    scroll->setWidgetResizable(true);
    auto* rows = new QWidget;
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(8, 4, 8, 4);
    rowsLayout->setSpacing(4);
    buildPackRows(rowsLayout);
    scroll->setWidget(rows);
    layout->addWidget(scroll);

    // Buttons.
    layout->addWidget(divider());
    auto* buttons = new QHBoxLayout;
    m_openEngines = new QPushButton;
    m_openEngines->setObjectName(QStringLiteral("openEngines"));
    m_openIgnored = new QPushButton;
    m_openIgnored->setObjectName(QStringLiteral("openIgnored"));
    m_close = new QPushButton;
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setDefault(true);
    buttons->addWidget(m_openEngines);
    buttons->addWidget(m_openIgnored);
    buttons->addStretch();
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    connect(m_record, &QPushButton::clicked, this, [this] { m_model.startRecording(); });
    connect(m_restore, &QPushButton::clicked, this, [this] { m_model.restoreDefaultShortcut(); });
    connect(m_openEngines, &QPushButton::clicked, this, &PreferencesView::openEnginesRequested);
    connect(m_openIgnored, &QPushButton::clicked, this, &PreferencesView::openIgnoredRequested);
    connect(m_close, &QPushButton::clicked, this, &PreferencesView::closeRequested);
    connect(m_startWithSession, &QCheckBox::clicked, this,
            [this](bool checked) { m_model.setStartsWithSession(checked); });
    connect(&m_model, &PreferencesModel::startsWithSessionChanged, m_startWithSession,
            &QCheckBox::setChecked);
    connect(m_language, &QComboBox::activated, this, [this](int index) {
        if (const auto language = fromRawValue<AppLanguage>(m_language->itemData(index).toString()))
            m_model.setAppLanguage(*language);
    });
    connect(m_packBase, &QComboBox::activated, this,
            [this](int index) { m_model.setPackBaseCode(m_packBase->itemData(index).toString()); });
    connect(&m_model, &PreferencesModel::appLanguageChanged, this, &PreferencesView::retranslate);
    connect(&m_model, &PreferencesModel::shortcutChanged, this, &PreferencesView::updateShortcut);
    connect(&m_model, &PreferencesModel::recordingChanged, this, &PreferencesView::updateRecording);
    connect(&m_model, &PreferencesModel::shortcutRefusedChanged, this,
            &PreferencesView::updateRefusal);
    connect(&m_model, &PreferencesModel::shortcutNoticeChanged, this,
            &PreferencesView::updateShortcutNotice);
    connect(&m_model, &PreferencesModel::shortcutHolderChanged, this,
            &PreferencesView::updateShortcutHolder);
    connect(m_enableExtension, &QPushButton::clicked, &m_model,
            &PreferencesModel::enableShellExtension);
    connect(&m_model.packs(), &LanguagePackList::packStatusChanged, this,
            &PreferencesView::updatePackRow);

    retranslate();
    updateRecording(m_model.isRecording());
}

PreferencesView::~PreferencesView() = default;

void PreferencesView::buildActionRows(QVBoxLayout* layout) {
    for (const QuickAction action : quickActions) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("action-") + QuickActions::name(action));
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        ActionRow entry;
        entry.title = new QLabel;
        entry.title->setFixedWidth(200);
        entry.shortcut = new QLabel;
        entry.shortcut->setObjectName(QStringLiteral("shortcut"));
        entry.record = new QPushButton;
        entry.record->setObjectName(QStringLiteral("record"));
        entry.clear = new QPushButton;
        entry.clear->setObjectName(QStringLiteral("clear"));
        entry.recording = WindowPresenter::caption(QString(), false);
        entry.recording->setObjectName(QStringLiteral("recording"));
        entry.recording->setFocusPolicy(Qt::StrongFocus);
        entry.recording->installEventFilter(new RecordingKeyFilter(m_model, entry.recording));
        WindowPresenter::setTextColor(entry.recording, "#e67e00");
        rowLayout->addWidget(entry.title);
        rowLayout->addWidget(entry.shortcut);
        rowLayout->addStretch();
        rowLayout->addWidget(entry.record);
        rowLayout->addWidget(entry.clear);
        rowLayout->addWidget(entry.recording);
        connect(entry.record, &QPushButton::clicked, this,
                [this, action] { m_model.startRecording(action); });
        connect(entry.clear, &QPushButton::clicked, this,
                [this, action] { m_model.clearActionShortcut(action); });
        layout->addWidget(row);
        m_actionRows[action] = entry;
    }
}

void PreferencesView::updateRefusal() {
    const bool refused = m_model.isShortcutRefused();
    const bool forAction = m_model.recordingAction().has_value();
    const char* key = m_model.isShortcutTaken() ? "prefs.shortcutTaken" : "prefs.shortcutRefused";
    QLabel* shown = forAction ? m_actionRefused : m_shortcutRefused;
    shown->setText(text(key, m_model.appLanguage()));
    shown->setVisible(refused);
    (forAction ? m_shortcutRefused : m_actionRefused)->setVisible(false);
}

void PreferencesView::buildPackRows(QVBoxLayout* layout) {
    for (const QString& code : LanguagePackList::packCodes()) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("pack-") + code);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        PackRow pack;
        pack.name = new QLabel;
        pack.status = new QLabel;
        pack.status->setObjectName(QStringLiteral("status"));
        pack.status->setTextFormat(Qt::PlainText);
        pack.download = new QPushButton;
        pack.download->setObjectName(QStringLiteral("download"));
        pack.busy = new QProgressBar;
        pack.busy->setRange(0, 0); // indeterminate
        pack.busy->setFixedWidth(60);
        pack.busy->setMaximumHeight(10);
        pack.busy->setTextVisible(false);
        rowLayout->addWidget(pack.name);
        rowLayout->addStretch();
        rowLayout->addWidget(pack.status);
        rowLayout->addWidget(pack.download);
        rowLayout->addWidget(pack.busy);
        connect(pack.download, &QPushButton::clicked, this,
                [this, code] { m_model.downloadPack(code); });
        layout->addWidget(row);
        m_packRows[code] = pack;
    }
}

void PreferencesView::fillBaseLanguages() {
    m_packBase->clear();
    for (const QString& code : LanguagePackList::packCodes())
        m_packBase->addItem(m_model.languageName(code), code);
    m_packBase->setCurrentIndex(m_packBase->findData(m_model.packBaseCode()));
}

void PreferencesView::retranslate() {
    m_heading->setText(text("prefs.title", m_model.appLanguage()));
    m_shortcutTitle->setText(text("prefs.shortcutTitle", m_model.appLanguage()));
    m_shortcutDesc->setText(text("prefs.shortcutDesc", m_model.appLanguage()));
    m_record->setText(text("prefs.record", m_model.appLanguage()));
    m_restore->setText(text("prefs.restoreDefault", m_model.appLanguage()));
    m_recording->setText(text("prefs.recording", m_model.appLanguage()));
    m_actionsTitle->setText(text("prefs.actionsTitle", m_model.appLanguage()));
    m_actionsDesc->setText(text("prefs.actionsDesc", m_model.appLanguage()));
    for (auto& [action, row] : m_actionRows) {
        row.title->setText(L10n::string(QuickActions::titleKey(action), m_model.appLanguage()));
        row.record->setText(text("prefs.recordAction", m_model.appLanguage()));
        row.clear->setText(text("prefs.clearShortcut", m_model.appLanguage()));
        row.recording->setText(text("prefs.recording", m_model.appLanguage()));
    }
    updateRefusal();
    m_languageTitle->setText(text("prefs.appLanguage", m_model.appLanguage()));
    m_language->setCurrentIndex(m_language->findData(rawValue(m_model.appLanguage())));
    m_languageNote->setText(text("prefs.appLanguageNote", m_model.appLanguage()));
    m_startWithSession->setText(text("prefs.startWithSession", m_model.appLanguage()));
    m_noTrayNotice->setText(text("prefs.noTrayNotice", m_model.appLanguage()));
    m_enableExtension->setText(text("prefs.enableExtension", m_model.appLanguage()));
    updateShortcutNotice();
    updateShortcutHolder();
    m_packsTitle->setText(text("prefs.packsTitle", m_model.appLanguage()));
    m_packsDesc->setText(text("prefs.packsDesc", m_model.appLanguage()));
    m_packBaseLabel->setText(text("prefs.packBase", m_model.appLanguage()));
    fillBaseLanguages();
    for (auto& [code, row] : m_packRows) {
        row.name->setText(m_model.languageName(code));
        row.download->setText(text("prefs.packDownload", m_model.appLanguage()));
        updatePackRow(code);
    }
    m_openEngines->setText(text("prefs.openEngines", m_model.appLanguage()));
    m_openIgnored->setText(text("prefs.openIgnored", m_model.appLanguage()));
    m_close->setText(text("prefs.close", m_model.appLanguage()));
    updateShortcut();
}

void PreferencesView::updateShortcut() {
    m_currentShortcut->setText(text("prefs.currentShortcut", m_model.appLanguage())
                                   .replace(QStringLiteral("%@"), m_model.shortcutDisplay()));
    for (auto& [action, row] : m_actionRows) {
        const QString shown = m_model.actionShortcutDisplay(action);
        row.shortcut->setText(shown.isEmpty() ? text("prefs.noShortcut", m_model.appLanguage())
                                              : shown);
    }
    updateRecording(m_model.isRecording());
}

void PreferencesView::updateShortcutNotice() {
    using Notice = PreferencesModel::ShortcutNotice;
    const Notice notice = m_model.shortcutNotice();
    const char* key = nullptr;
    switch (notice) {
    case Notice::none:
        break;
    case Notice::needsExtension:
        key = "prefs.shortcutNeedsExtension";
        break;
    case Notice::extensionEnabled:
        key = "prefs.extensionEnabled";
        break;
    case Notice::extensionFailed:
        key = "prefs.extensionFailed";
        break;
    case Notice::bindInSettings:
        key = "prefs.bindShortcutInSettings";
        break;
    }
    m_shortcutNotice->setVisible(key != nullptr);
    if (key)
        m_shortcutNotice->setText(text(key, m_model.appLanguage()));
    m_enableExtension->setVisible(notice == Notice::needsExtension ||
                                  notice == Notice::extensionFailed);
}

void PreferencesView::updateShortcutHolder() {
    using Kind = ShortcutHolder::Kind;
    const ShortcutHolder* holder = m_model.shortcutHolder();
    const Kind kind = holder ? holder->kind() : Kind::none;
    const char* key = nullptr;
    switch (kind) {
    case Kind::none:
        break;
    case Kind::program:
        key = "prefs.shortcutHeldByProgram";
        break;
    case Kind::desktopPortal:
        // The desktop's settings or dialog may have bound another trigger than the stored one.
        key = holder->trigger().isEmpty() ? "prefs.shortcutHeldByPortal"
                                          : "prefs.shortcutHeldByPortalAs";
        break;
    case Kind::kdeShortcuts:
        key = "prefs.shortcutHeldByKde";
        break;
    case Kind::shellExtension:
        key = "prefs.shortcutHeldByExtension";
        break;
    }
    m_shortcutHolder->setVisible(key != nullptr);
    if (key)
        m_shortcutHolder->setText(
            text(key, m_model.appLanguage()).replace(QStringLiteral("%@"), holder->trigger()));
}

void PreferencesView::updateRecording(bool recording) {
    const std::optional<QuickAction> action = m_model.recordingAction();
    // Each shortcut has its recorder; only the one recorded now shows.
    const auto showRecorder = [](QPushButton* record, QLabel* recorder, bool on) {
        // The widget taking the keyboard is shown before the one giving it up is hidden, so the
        // focus moves between the two and nowhere else.
        if (on) {
            recorder->setVisible(true);
            recorder->setFocus(Qt::OtherFocusReason);
        } else {
            record->setVisible(true);
            if (recorder->hasFocus())
                record->setFocus(Qt::OtherFocusReason);
        }
        record->setVisible(!on);
        recorder->setVisible(on);
    };
    showRecorder(m_record, m_recording, recording && !action);
    m_restore->setVisible(!(recording && !action) && !m_model.isDefaultShortcut());
    for (auto& [rowAction, row] : m_actionRows) {
        const bool on = recording && action == rowAction;
        showRecorder(row.record, row.recording, on);
        row.clear->setVisible(!on && !m_model.actionShortcutDisplay(rowAction).isEmpty());
    }
}

void PreferencesView::updatePackRow(const QString& code) {
    const auto found = m_packRows.find(code);
    if (found == m_packRows.end())
        return;
    PackRow& row = found->second;
    const auto status = m_model.packStatus(code);
    using Status = PreferencesModel::PackStatus;
    row.download->setVisible(status == Status::available);
    row.busy->setVisible(status == Status::downloading);
    // A download that failed for a reason to read says it on its row, beside the button to try
    // again, instead of a spinner that simply stops.
    const std::optional<QString> failure =
        status == Status::available ? m_model.packFailure(code) : std::nullopt;
    row.status->setVisible(status == Status::checking || status == Status::installed ||
                           status == Status::unsupported || failure.has_value());
    row.status->setWordWrap(failure.has_value());
    if (failure) {
        row.status->setText(*failure);
        WindowPresenter::setTextColor(row.status, "#d0302f");
    }
    switch (status) {
    case Status::checking:
        row.status->setText(text("prefs.packChecking", m_model.appLanguage()));
        WindowPresenter::setTextColor(row.status, "#808080");
        break;
    case Status::installed:
        row.status->setText(text("prefs.packInstalled", m_model.appLanguage()));
        WindowPresenter::setTextColor(row.status, "#2e9e44");
        break;
    case Status::unsupported:
        row.status->setText(text("prefs.packUnsupported", m_model.appLanguage()));
        WindowPresenter::setTextColor(row.status, "#808080");
        break;
    case Status::available:
    case Status::downloading:
        break;
    }
}

void PreferencesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Both can change while the window is away: the entry by hand, the tray with the desktop.
    m_startWithSession->setChecked(m_model.startsWithSession());
    if (const bool noTray = !QSystemTrayIcon::isSystemTrayAvailable();
        noTray != m_noTrayNotice->isVisibleTo(this)) {
        m_noTrayNotice->setVisible(noTray);
        layout()->activate();
    }
    m_model.viewShown();
}

void PreferencesView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_model.stopRecording();
    m_model.viewHidden();
}

} // namespace ovra
