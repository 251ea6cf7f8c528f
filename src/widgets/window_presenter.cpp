#include "widgets/window_presenter.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace ovra::WindowPresenter {

void present(QWidget* window) {
    window->adjustSize();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QLabel* headline(const QString& text) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    label->setFont(font);
    return label;
}

QLabel* caption(const QString& text, bool secondary) {
    auto* label = new QLabel(text);
    // Captions also show names, ids and errors from elsewhere: never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    if (secondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        label->setPalette(palette);
    }
    return label;
}

void setTextColor(QLabel* label, const char* color) {
    label->setStyleSheet(color && *color ? QStringLiteral("color: %1;").arg(QLatin1String(color))
                                         : QString());
}

} // namespace ovra::WindowPresenter
