#include "ui/qt/DeviceKeyButton.h"

#include "ui/qt/SelectPanel.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace velkor::ui {

namespace {
const QColor kUnlitCap(0x2A, 0x2D, 0x34);
const QColor kEdge(0x15, 0x17, 0x1B);
const QColor kHoverEdge(0x6A, 0x70, 0x80);
const QColor kSelectedEdge(0xE0, 0x40, 0x2F);
const QColor kSelectedInner(0xF4, 0xF4, 0xF4);

bool Fits(const QFont& font, const QString& text, QSize box, int flags) {
    const QRectF needed =
        QFontMetricsF(font).boundingRect(QRectF(0, 0, box.width(), box.height()), flags, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

} // namespace

CaptionLayout FitCaption(const QFont& font, const QString& text, QSize box) {
    CaptionLayout layout{font, text, Qt::AlignCenter | Qt::TextWordWrap};
    const int largest = std::max(kMinCaptionPixels, QFontInfo(font).pixelSize());
    // A narrower face keeps a label large longer than a smaller size would.
    for (int pixels = largest; pixels >= kMinCaptionPixels; --pixels) {
        layout.font.setPixelSize(pixels);
        for (const int stretch : {int(QFont::Unstretched), int(QFont::Condensed)}) {
            layout.font.setStretch(stretch);
            if (Fits(layout.font, text, box, layout.flags)) {
                return layout;
            }
        }
    }
    // A word wider than the box even at the smallest size: break inside words.
    layout.flags = Qt::AlignCenter | Qt::TextWrapAnywhere;
    if (Fits(layout.font, text, box, layout.flags)) {
        return layout;
    }
    layout.flags = Qt::AlignCenter;
    layout.text =
        QFontMetricsF(layout.font).elidedText(QString(text).replace('\n', ' '), Qt::ElideRight, box.width());
    return layout;
}

DeviceKeyButton::DeviceKeyButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    if (dynamic_cast<SelectPanel*>(parent) != nullptr) {
        // Qt then skips the key when it paints the picture; the panel draws it.
        m_panelDrawn = true;
        setUpdatesEnabled(false);
    }
}

void DeviceKeyButton::RequestPaint() {
    if (!m_panelDrawn) {
        update();
    } else if (QWidget* panel = parentWidget(); panel != nullptr && !isHidden()) {
        panel->update(geometry());
    }
}

void DeviceKeyButton::SetLight(uint32_t rgb, uint8_t level) {
    rgb &= 0xFFFFFFu;
    if (rgb != m_rgb || level != m_level) {
        m_rgb = rgb;
        m_level = level;
        RequestPaint();
    }
}

void DeviceKeyButton::SetCaption(const QString& caption) {
    if (caption != text()) {
        setText(caption);
        RequestPaint();
    }
}

void DeviceKeyButton::SetSelected(bool selected) {
    if (selected != m_selected) {
        m_selected = selected;
        RequestPaint();
    }
}

bool DeviceKeyButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        if (m_panelDrawn) {
            RequestPaint();
        }
        break;
    case QEvent::Show:
    case QEvent::Hide:
        if (m_panelDrawn && parentWidget() != nullptr) {
            parentWidget()->update(geometry());
        }
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

QColor DeviceKeyButton::FillColour() const {
    if (m_level == 0) {
        return kUnlitCap;
    }
    const auto channel = [this](int shift) { return int(((m_rgb >> shift) & 0xFF) * m_level / 255); };
    return QColor(channel(16), channel(8), channel(0));
}

void DeviceKeyButton::paintEvent(QPaintEvent*) {
    if (m_panelDrawn) {
        return; // the panel has drawn it
    }
    QPainter painter(this);
    PaintCap(painter, rect(), m_edges);
}

const QPixmap& CapEdges::Edge(QSize size, Look look, qreal pixelRatio) {
    for (const Entry& entry : m_entries) {
        if (entry.size == size && entry.look == look && entry.ratio == pixelRatio) {
            return entry.pixmap;
        }
    }
    QPixmap pixmap(size * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cap = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    QPainterPath path;
    path.addRoundedRect(cap, 3, 3);
    if (look == Look::Selected) {
        // An accent ring with a light line inside: one of the two shows on any LED colour.
        painter.setPen(QPen(kSelectedEdge, 2));
        painter.drawPath(path);
        QPainterPath inner;
        inner.addRoundedRect(cap.adjusted(2.5, 2.5, -2.5, -2.5), 2, 2);
        painter.setPen(QPen(kSelectedInner, 1));
        painter.drawPath(inner);
    } else {
        painter.setPen(QPen(look == Look::Hovered ? kHoverEdge : kEdge, 1));
        painter.drawPath(path);
    }
    painter.end();
    m_entries.push_back(Entry{size, look, pixelRatio, pixmap});
    return m_entries.back().pixmap;
}

void DeviceKeyButton::PaintCap(QPainter& painter, const QRect& area, CapEdges& edges) {
    // The cap's inside in solid fills, its corners cut where the rounded
    // edge (drawn over it) passes.
    const QRect cap = area.adjusted(1, 1, -1, -1);
    const QColor fill = FillColour();
    if (cap.width() > 4 && cap.height() > 4) {
        painter.fillRect(cap.x() + 2, cap.y(), cap.width() - 4, 1, fill);
        painter.fillRect(cap.x() + 1, cap.y() + 1, cap.width() - 2, 1, fill);
        painter.fillRect(cap.x(), cap.y() + 2, cap.width(), cap.height() - 4, fill);
        painter.fillRect(cap.x() + 1, cap.bottom() - 1, cap.width() - 2, 1, fill);
        painter.fillRect(cap.x() + 2, cap.bottom(), cap.width() - 4, 1, fill);
    } else {
        painter.fillRect(cap, fill);
    }
    const qreal ratio = painter.device()->devicePixelRatioF();
    const bool hovered = underMouse() && isEnabled();
    const CapEdges::Look look =
        m_selected ? CapEdges::Look::Selected : hovered ? CapEdges::Look::Hovered : CapEdges::Look::Plain;
    painter.drawPixmap(area.topLeft(), edges.Edge(area.size(), look, ratio));
    if (!text().isEmpty()) {
        // Small caps keep a thinner margin so that their label still has room.
        const int margin = std::min(area.width(), area.height()) < 30 ? 2 : 4;
        const QRect box = area.adjusted(margin, margin, -margin, -margin);
        // Dark text on a bright cap, light text on a dark one.
        const int brightness = (fill.red() * 299 + fill.green() * 587 + fill.blue() * 114) / 1000;
        painter.drawPixmap(box.topLeft(), LabelPixmap(box.size(), brightness > 140, ratio));
    }
}

const QPixmap& DeviceKeyButton::LabelPixmap(QSize box, bool darkText, qreal pixelRatio) {
    const CaptionLayout& caption = Caption(box);
    if (!m_labelValid || m_labelDark != darkText || m_labelRatio != pixelRatio ||
        m_label.size() != box * pixelRatio) {
        m_label = QPixmap(box * pixelRatio);
        m_label.setDevicePixelRatio(pixelRatio);
        m_label.fill(Qt::transparent);
        QPainter painter(&m_label);
        painter.setPen(darkText ? QColor(0x10, 0x10, 0x10) : QColor(0xE6, 0xE6, 0xE6));
        painter.setFont(caption.font);
        painter.drawText(QRect(QPoint(0, 0), box), caption.flags, caption.text);
        m_labelValid = true;
        m_labelDark = darkText;
        m_labelRatio = pixelRatio;
    }
    return m_label;
}

const CaptionLayout& DeviceKeyButton::Caption(QSize box) {
    if (!m_captionValid || m_captionText != text() || m_captionBox != box || m_captionFont != font()) {
        m_caption = FitCaption(font(), text(), box);
        m_captionText = text();
        m_captionBox = box;
        m_captionFont = font();
        m_captionValid = true;
        m_labelValid = false;
    }
    return m_caption;
}

} // namespace velkor::ui
