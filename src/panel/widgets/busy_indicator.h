#pragma once

#include <QTimer>
#include <QWidget>

namespace ovra {

// A small indeterminate progress indicator: an arc turning while the widget is shown.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(int diameter = 12, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    int m_angle = 0;
    QTimer m_timer;
};

} // namespace ovra
