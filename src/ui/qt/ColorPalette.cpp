#include "ui/qt/ColorPalette.h"

#include <QColor>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace velkor::ui {

namespace {

// Fractions 0..1 of the field's width and height.
double Fraction(int at, int extent) {
    return extent > 1 ? std::clamp(double(at) / double(extent - 1), 0.0, 1.0) : 0.0;
}

} // namespace

ColorPalette::ColorPalette(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

uint32_t ColorPalette::ColourAt(QPoint point, QSize size) {
    const double hue = Fraction(point.x(), size.width());
    const double whiteness = Fraction(point.y(), size.height());
    // Hue 1.0 is red again; QColor takes 0..1 with -1 meaning "no hue".
    const QColor colour = QColor::fromHsvF(float(std::min(hue, 0.9999)), float(1.0 - whiteness), 1.0f);
    return 0xFF000000u | (colour.rgb() & 0x00FFFFFFu);
}

void ColorPalette::SetMarkedColour(uint32_t argb) {
    const QColor colour = QColor::fromRgb(argb & 0x00FFFFFFu);
    float hue = 0.0f;
    float saturation = 0.0f;
    float value = 0.0f;
    colour.getHsvF(&hue, &saturation, &value);
    const int width = std::max(1, this->width() - 1);
    const int height = std::max(1, this->height() - 1);
    m_marker = QPoint(int(std::max(0.0f, hue) * float(width) + 0.5f),
                      int((1.0f - saturation) * float(height) + 0.5f));
    update();
}

void ColorPalette::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    QLinearGradient hues(0, 0, std::max(1, width() - 1), 0); // the same fractions as ColourAt
    for (int step = 0; step <= 6; ++step) {
        hues.setColorAt(step / 6.0, QColor::fromHsvF(float(std::min(step / 6.0, 0.9999)), 1.0f, 1.0f));
    }
    painter.fillRect(rect(), hues);
    QLinearGradient white(0, 0, 0, std::max(1, height() - 1));
    white.setColorAt(0.0, QColor(255, 255, 255, 0));
    white.setColorAt(1.0, QColor(255, 255, 255, 255));
    painter.fillRect(rect(), white);
    if (m_marker.x() >= 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 3));
        painter.drawEllipse(m_marker, 6, 6);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawEllipse(m_marker, 6, 6);
    }
}

void ColorPalette::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        Pick(event->position().toPoint());
    }
}

void ColorPalette::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0) {
        Pick(event->position().toPoint());
    }
}

void ColorPalette::Pick(QPoint point) {
    const QPoint inside(std::clamp(point.x(), 0, std::max(0, width() - 1)),
                        std::clamp(point.y(), 0, std::max(0, height() - 1)));
    const uint32_t colour = ColourAt(inside, size());
    m_marker = inside;
    update();
    if (m_picked) {
        m_picked(colour);
    }
}

} // namespace velkor::ui
