#pragma once

class QWidget;
class QLabel;
class QString;

namespace ovra::WindowPresenter {

// Centres `window` on the screen under the pointer (else the primary one), shows it, raises it
// and gives it the focus: the program has no main window, so its windows must come forward.
void present(QWidget* window);

// Small shared looks of the secondary windows.
QLabel* headline(const QString& text);
QLabel* caption(const QString& text, bool secondary = true);
void setTextColor(QLabel* label, const char* color); // "#rrggbb"; empty restores the palette

} // namespace ovra::WindowPresenter
