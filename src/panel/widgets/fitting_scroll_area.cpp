#include "panel/widgets/fitting_scroll_area.h"

#include <QScrollBar>
#include <algorithm>

namespace ovra {

namespace {
constexpr int minimumLines = 3;
} // namespace

FittingScrollArea::FittingScrollArea(QWidget* content, int contentWidth, QWidget* parent)
    : QScrollArea(parent), m_contentWidth(contentWidth) {
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setWidget(content);
}

void FittingScrollArea::refit() {
    m_cachedHeight = -1;
    verticalScrollBar()->setValue(0);
    updateGeometry();
}

int FittingScrollArea::contentHeight() const {
    if (m_cachedHeight < 0) {
        const QWidget* content = widget();
        const int forWidth =
            content && content->hasHeightForWidth() ? content->heightForWidth(m_contentWidth) : -1;
        m_cachedHeight = forWidth >= 0 ? forWidth : (content ? content->sizeHint().height() : 0);
    }
    return m_cachedHeight;
}

QSize FittingScrollArea::sizeHint() const {
    return {m_contentWidth, contentHeight()};
}

QSize FittingScrollArea::minimumSizeHint() const {
    return {0, std::min(contentHeight(), minimumLines * fontMetrics().lineSpacing())};
}

} // namespace ovra
