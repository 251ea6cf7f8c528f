#include "engines/translation_coordinator.h"
#include "panel/panel_view_model.h"
#include "panel/widgets/floating_panel_window.h"
#include "panel/widgets/panel_view.h"
#include "settings/l10n.h"
#include "support/panel_environment.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace ovra;
using namespace ovra::test;
using namespace Qt::StringLiterals;

namespace {

struct PanelWidgetsTest : ::testing::Test, PanelEnvironment {
    std::unique_ptr<PanelViewModel> ownedModel = makeViewModel();
    PanelViewModel& model = *ownedModel;
    FloatingPanelWindow window{model};
    PanelView& view = *window.view();

    void SetUp() override {
        SelectionSnapshot snapshot;
        snapshot.text = u"The quick brown fox jumps over the lazy dog."_s;
        snapshot.pid = 77;
        snapshot.isEditable = true;
        snapshot.mouseAtCapture = QPointF(400, 400);
        model.configure(snapshot);
        window.setFrame({200, 300, 340, 120}, false);
        window.showWithoutActivating();
    }

    bool shown(QWidget* widget) const { return widget->isVisibleTo(&window); }
    // Checks that the parts in `visible` show in the panel and those in `hidden` do not.
    void expectShown(std::initializer_list<QWidget*> visible,
                     std::initializer_list<QWidget*> hidden = {}) const {
        for (const auto& [parts, expected] : {std::pair{visible, true}, std::pair{hidden, false}})
            for (QWidget* part : parts)
                EXPECT_EQ(shown(part), expected)
                    << part->metaObject()->className() << " " << part->objectName().toStdString();
    }

    // Sizes the window to its content, as the controller does.
    void fitToContent() {
        window.layoutContent();
        window.setFrame({200, 300, 340, *window.fittingHeight()}, false);
        QApplication::processEvents();
    }
};

} // namespace

// Shown above other windows without taking the focus, with only the action row.
TEST_F(PanelWidgetsTest, BeforeAnyActionOnlyTheActionRowShows) {
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    expectShown({view.translateButton(), view.closeButton()},
                {view.moreOptionsRow(), view.workingRow(), view.preparationRow(),
                 view.resultSection(), view.chatSection(), view.statusLabel()});
    EXPECT_TRUE(engines->calls.isEmpty()); // nothing starts by itself
    EXPECT_GE(*window.fittingHeight(), 30);
    EXPECT_LT(*window.fittingHeight(), 70);
    fitToContent();
    window.hideWindow();
    EXPECT_FALSE(window.isVisible());
}

// A language chosen while the panel is open shows from its next opening on, on every label.
TEST_F(PanelWidgetsTest, TheNextOpeningAfterALanguageChangeHasEveryLabelInTheNewLanguage) {
    prefs.setAppLanguage(AppLanguage::portugues);
    window.hideWindow();
    model.configure(PanelEnvironment::snapshot());
    window.showWithoutActivating();

    prefs.setAppLanguage(AppLanguage::english);
    QTest::mouseClick(view.moreButton(), Qt::LeftButton); // the open panel keeps its words
    EXPECT_EQ(view.translateButton()->text(),
              L10n::string(u"panel.translate"_s, AppLanguage::portugues));

    window.hideWindow();
    model.configure(PanelEnvironment::snapshot());
    window.showWithoutActivating();
    const std::pair<QString, const char16_t*> labels[] = {
        {view.translateButton()->text(), u"panel.translate"},
        {view.reformulateButton()->text(), u"panel.reformulate"},
        {view.copyButton()->text(), u"panel.copy"},
        {view.moreButton()->toolTip(), u"panel.moreOptions"},
        {view.closeButton()->toolTip(), u"panel.close"},
        {view.reviewButton()->text(), u"panel.review"},
        {view.summarizeButton()->text(), u"panel.summarize"},
        {view.askButton()->text(), u"panel.ask"},
        {view.workingRow()->findChild<QLabel*>()->text(), u"panel.working"},
        {view.languagePicker()->accessibleName(), u"panel.destination"},
        {view.replaceButton()->text(), u"panel.replace"},
        {view.copyResultButton()->text(), u"panel.copyResult"},
        {view.chatHint()->text(), u"panel.chatHint"},
        {view.chatField()->placeholderText(), u"panel.askPlaceholder"},
        {view.sendButton()->text(), u"panel.send"},
    };
    for (const auto& [shownText, key] : labels) {
        const QString english = L10n::string(QString::fromUtf16(key), AppLanguage::english);
        EXPECT_EQ(shownText, english) << QString::fromUtf16(key).toStdString();
        EXPECT_NE(english, L10n::string(QString::fromUtf16(key), AppLanguage::portugues));
    }
}

TEST_F(PanelWidgetsTest, TranslationShowsPickerBadgeAndReplaceASummaryNeither) {
    QTest::mouseClick(view.moreButton(), Qt::LeftButton);
    EXPECT_TRUE(shown(view.moreOptionsRow()));
    QTest::mouseClick(view.translateButton(), Qt::LeftButton);
    ASSERT_EQ(engines->calls.size(), 1);
    EXPECT_TRUE(shown(view.workingRow()));
    const double before = *window.fittingHeight();
    engines->last()->succeed(
        u"A rápida raposa marrom pula sobre o cão preguiçoso, e depois volta para "
        u"casa atravessando o campo inteiro sem parar."_s,
        EngineKind::google);

    expectShown({view.resultSection(), view.languagePicker(), view.replaceButton()},
                {view.workingRow()});
    EXPECT_EQ(view.languagePicker()->count(), TargetLanguage::allCases().size());
    EXPECT_EQ(view.languagePicker()->currentData().toString(), model.targetLanguage().code);
    EXPECT_EQ(view.engineBadge()->text(), u"Google Tradutor"_s);
    EXPECT_GT(*window.fittingHeight(), before + 60); // the wrapped result is measured whole
    fitToContent();

    // The button waits for the write-back's answer.
    QTest::mouseClick(view.replaceButton(), Qt::LeftButton);
    ASSERT_EQ(replacer.calls.size(), 1);
    EXPECT_FALSE(view.replaceButton()->isEnabled());
    replacer.calls[0]->outcome->resolve(ReplaceOutcome::failed());
    EXPECT_TRUE(view.replaceButton()->isEnabled());

    // The picker translates again with the chosen language.
    const int german = int(TargetLanguage::allCases().indexOf(*TargetLanguage::named(u"de")));
    view.languagePicker()->setCurrentIndex(german);
    Q_EMIT view.languagePicker()->activated(german);
    ASSERT_EQ(engines->calls.size(), 2);
    EXPECT_EQ(engines->last()->target, u"de"_s);

    // A summary has no picker and no Substituir.
    model.summarize();
    engines->last()->succeed(u"Uma raposa pula um cão."_s, EngineKind::online, true);
    expectShown({view.resultSection(), view.copyResultButton()},
                {view.languagePicker(), view.replaceButton()});
    EXPECT_EQ(view.engineBadge()->text(), u"IA online"_s);
    EXPECT_TRUE(shown(view.statusLabel()));
    EXPECT_EQ(view.statusLabel()->property("tone").toString(), u"secondary"_s);

    QTest::mouseClick(view.copyResultButton(), Qt::LeftButton);
    EXPECT_EQ(clipboard.string(), u"Uma raposa pula um cão."_s);
    EXPECT_EQ(view.copyButton()->text(), u"Copiado ✓"_s);
}

TEST_F(PanelWidgetsTest, AFailedFirstActionShowsOnlyTheRedStatusAndOutsideMarkupIsLiteral) {
    const QString markup = u"<b>Erro</b> &amp; <i>x</i>"_s;
    model.translate();
    engines->last()->fail(Error(markup));
    expectShown({view.statusLabel()}, {view.resultSection()});
    EXPECT_EQ(view.statusLabel()->property("tone").toString(), u"error"_s);
    model.summarize();
    engines->last()->succeed(markup, EngineKind::online);
    model.startAsk();
    model.sendChat(u"porquê?"_s);
    engines->last()->answer->resolve(markup);
    model.translate();
    engines->last()->fail(Error(markup));

    const QList<QLabel*> bubbles = view.chatBubbles();
    for (QLabel* label : {view.statusLabel(), view.resultLabel(), bubbles.value(1)}) {
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(label->text(), markup);
        // What is painted is the markup itself: as wide as its characters, tags included (read
        // as markup, it would be "Erro & x", less than half as wide).
        label->setWordWrap(false); // measured on one line
        EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(markup) - 2)
            << label->objectName().toStdString();
    }
}

TEST_F(PanelWidgetsTest, ALongResultScrollsInsideAShortPanelAndIsCut) {
    QString longResult;
    for (int i = 0; i < 30'000; ++i)
        longResult += u"palavra "_s;
    model.summarize();
    engines->last()->succeed(longResult, EngineKind::online);
    EXPECT_EQ(view.resultLabel()->text(), PanelViewModel::shownText(longResult)); // cut
    QApplication::processEvents();              // as before the controller's re-fit
    EXPECT_GT(*window.fittingHeight(), 2000.0); // measured whole, so the placement can cut it

    // Given the height of a screen, the rows around the result keep their place and the result
    // scrolls.
    window.setFrame({200, 100, 340, 600}, false);
    window.layoutContent();
    QApplication::processEvents();
    EXPECT_TRUE(view.resultScroll()->verticalScrollBar()->maximum() > 0);
    EXPECT_LE(view.resultScroll()->height(), 600);
    EXPECT_TRUE(view.copyResultButton()->isVisible());
    EXPECT_LE(view.copyResultButton()->mapTo(&view, QPoint(0, 0)).y() +
                  view.copyResultButton()->height(),
              view.height());
    // Copying takes the whole result, not the cut one.
    QTest::mouseClick(view.copyResultButton(), Qt::LeftButton);
    EXPECT_EQ(clipboard.string(), longResult);
}

// An answer written as it goes grows in the panel; its buttons wait for the whole of it, and a
// break keeps the part shown, without Substituir.
TEST_F(PanelWidgetsTest, AStreamedAnswerGrowsAndItsButtonsWaitForTheEnd) {
    model.reformulate();
    const auto call = engines->last();
    call->progress(u"Uma raposa"_s);
    EXPECT_EQ(view.resultLabel()->text(), u"Uma raposa"_s);
    QApplication::processEvents(); // as before the controller's re-fit
    const double shortHeight = *window.fittingHeight();
    call->progress(u"Uma raposa rápida"_s.repeated(12));
    clock.advance(PanelViewModel::pieceFrame); // a piece within a frame waits for its end
    QApplication::processEvents();
    EXPECT_GT(*window.fittingHeight(), shortHeight);
    EXPECT_TRUE(shown(view.workingRow()));
    EXPECT_FALSE(view.replaceButton()->isEnabled());
    EXPECT_FALSE(view.copyResultButton()->isEnabled());
    call->fail(Error(u"Sem rede"_s));
    expectShown({}, {view.workingRow(), view.replaceButton()});
    EXPECT_TRUE(view.copyResultButton()->isEnabled());
    EXPECT_EQ(view.statusLabel()->text(), u"Resposta incompleta."_s);
    EXPECT_TRUE(view.resultLabel()->text().startsWith(u"Uma raposa rápida"_s));
}

TEST_F(PanelWidgetsTest, ChatSendFollowsItsEnablingRule) {
    QTest::mouseClick(view.moreButton(), Qt::LeftButton);
    QTest::mouseClick(view.askButton(), Qt::LeftButton);
    expectShown({view.chatSection(), view.chatHint()}, {view.resultSection()});
    EXPECT_FALSE(view.sendButton()->isEnabled());

    QTest::keyClicks(view.chatField(), u"   "_s);
    EXPECT_FALSE(view.sendButton()->isEnabled());
    view.chatField()->setText(u"O que quer dizer lazy?"_s);
    EXPECT_TRUE(view.sendButton()->isEnabled());
    QTest::mouseClick(view.sendButton(), Qt::LeftButton);
    EXPECT_TRUE(view.chatField()->text().isEmpty());
    ASSERT_EQ(engines->calls.size(), 1);
    EXPECT_EQ(engines->last()->text, u"O que quer dizer lazy?"_s);
    // The answer's bubble shows as it is written, and grows.
    engines->last()->progress(u"Porque"_s);
    engines->last()->progress(u"Porque sim"_s);
    clock.advance(PanelViewModel::pieceFrame);
    ASSERT_EQ(view.chatBubbles().size(), 2);
    EXPECT_EQ(view.chatBubbles()[1]->text(), u"Porque sim"_s);

    // While the answer is awaited: disabled, and Return still empties the field.
    view.chatField()->setText(u"E fox?"_s);
    EXPECT_FALSE(view.sendButton()->isEnabled());
    QTest::keyClick(view.chatField(), Qt::Key_Return);
    EXPECT_TRUE(view.chatField()->text().isEmpty());

    engines->last()->answer->resolve(
        u"\"Lazy\" quer dizer preguiçoso: o cão não se mexe enquanto a raposa "
        u"salta por cima dele."_s);
    expectShown({view.chatScroll()}, {view.chatHint()});
    const QList<QLabel*> bubbles = view.chatBubbles();
    ASSERT_EQ(bubbles.size(), 2);
    EXPECT_EQ(bubbles[0]->objectName(), u"userBubble"_s);
    EXPECT_EQ(bubbles[1]->objectName(), u"answerBubble"_s);
    EXPECT_LT(view.chatScroll()->minimumHeight(), PanelView::chatMaximumHeight);
    EXPECT_GT(view.chatScroll()->minimumHeight(), 40);
    view.chatField()->setText(u"E o dog?"_s);
    fitToContent();

    // The chat area stops growing at its maximum height.
    for (int i = 0; i < 5; ++i) {
        model.sendChat(u"Pergunta número %1?"_s.arg(i));
        engines->last()->answer->resolve(u"Resposta longa o bastante para ocupar "
                                         u"duas linhas inteiras no balão."_s);
    }
    EXPECT_EQ(view.chatBubbles().size(), 12);
    EXPECT_EQ(view.chatScroll()->minimumHeight(), PanelView::chatMaximumHeight);
}

// With a compositor the shadow margin surrounds the card; near a screen edge the shadow is cut
// and the card stays where it was put, as window managers push a managed window back on screen.
TEST_F(PanelWidgetsTest, TheShadowMarginFollowsTheCompositorAndIsCutAtTheScreenEdge) {
    const QRect card(200, 300, 340, 120);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect nearEdge(screen.left() + 8, screen.top() + 3, 340, 120);
    struct Look {
        bool compositing;
        QRect card, geometry;
        int cornerAlpha; // the window's top-left pixel: shadow margin or card corner; -1 unread
    };
    for (const Look& look :
         {Look{false, card, card, 255}, Look{true, card, card.adjusted(-14, -14, 14, 14), 0},
          Look{false, card, card, 255},
          Look{true, nearEdge, nearEdge.adjusted(-8, -3, 14, 14), -1}}) {
        SCOPED_TRACE(look.geometry.x());
        window.setCompositing(look.compositing);
        window.setFrame(QRectF(look.card), false);
        QApplication::processEvents();
        EXPECT_EQ(window.geometry(), look.geometry);
        EXPECT_EQ(window.geometry().topLeft() + window.view()->geometry().topLeft(),
                  look.card.topLeft());
        const QImage image = window.grab().toImage();
        if (look.cornerAlpha >= 0) {
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), look.cornerAlpha);
        }
        // Not black: the card's own dark grey shows where a compositor would blend.
        if (!look.compositing) {
            const QRgb middleOfEdge = image.pixel(image.width() / 2, 2);
            EXPECT_EQ(qAlpha(middleOfEdge), 255);
            EXPECT_GT(qRed(middleOfEdge) + qGreen(middleOfEdge) + qBlue(middleOfEdge), 60);
        }
    }
}
