#pragma once

#include <QScrollArea>

namespace ovra {

// A vertical scroll area around one wrapping widget. It asks for the whole height of its content
// at a given width, so a panel fitted to its content shows all of it, and it gives way down to a
// few lines when the panel has less room: the rest then scrolls.
class FittingScrollArea final : public QScrollArea {
public:
    FittingScrollArea(QWidget* content, int contentWidth, QWidget* parent);

    // Call after the content changed: its height is measured again (measuring a long text is
    // costly, so it is not done on every layout pass).
    void refit();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int contentHeight() const;

    int m_contentWidth;
    mutable int m_cachedHeight = -1;
};

} // namespace ovra
