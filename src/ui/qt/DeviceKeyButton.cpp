#include "ui/qt/DeviceKeyButton.h"

#include "ui/qt/SelectPanel.h"

#include <QBitmap>
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

QSize CaptionBox(QSize cap) {
    // Small caps keep a thinner margin so that their caption still has room.
    const int side = std::min(cap.width(), cap.height());
    const int margin = side < 20 ? 1 : side < 30 ? 2 : 4;
    return QSize(std::max(0, cap.width() - 2 * margin), std::max(0, cap.height() - 2 * margin));
}

int LargestCaptionPixels(const QFont& font, const QString& text, QSize box) {
    QFont sized = font;
    for (int pixels = std::max(kMinCaptionPixels, QFontInfo(font).pixelSize()); pixels >= kMinCaptionPixels;
         --pixels) {
        sized.setPixelSize(pixels);
        if (Fits(sized, text, box, Qt::AlignCenter | Qt::TextWordWrap)) {
            return pixels;
        }
    }
    return 0;
}

CaptionLayout FitCaption(const QFont& font, const QString& text, QSize box, int pixels) {
    CaptionLayout layout{font, text, Qt::AlignCenter | Qt::TextWordWrap};
    if (pixels <= 0) {
        pixels = LargestCaptionPixels(font, text, box);
    }
    if (pixels > 0) {
        layout.font.setPixelSize(std::max(pixels, kMinCaptionPixels));
        if (Fits(layout.font, text, box, layout.flags)) {
            return layout;
        }
    }
    // Too long for the cap even at the smallest size: one elided line, never a broken word.
    layout.font.setPixelSize(kMinCaptionPixels);
    layout.flags = Qt::AlignCenter;
    layout.text =
        QFontMetricsF(layout.font).elidedText(QString(text).replace('\n', ' '), Qt::ElideRight, box.width());
    return layout;
}

DeviceKeyButton::DeviceKeyButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    // Reached with Tab and pressed with Space like any button; the picture's
    // keys are the only way to some panels.
    setFocusPolicy(Qt::TabFocus);
    if (dynamic_cast<SelectPanel*>(parent) != nullptr) {
        // Qt then skips the key when it paints the picture; the panel draws it.
        m_panelDrawn = true;
        setUpdatesEnabled(false);
    }
}

void DeviceKeyButton::RequestPaint() {
    if (!m_panelDrawn) {
        update();
    } else if (auto* panel = dynamic_cast<SelectPanel*>(parentWidget()); panel != nullptr && !isHidden()) {
        panel->KeyChanged(this);
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
        if (auto* panel = dynamic_cast<SelectPanel*>(parentWidget()); m_panelDrawn && panel != nullptr) {
            panel->CaptionsChanged(); // its row may need another size
        }
        RequestPaint();
    }
}

void DeviceKeyButton::SetCaptionPixels(int pixels) {
    if (pixels != m_captionPixels) {
        m_captionPixels = pixels;
        m_captionValid = false;
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
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
        if (m_panelDrawn) {
            RequestPaint();
        }
        break;
    case QEvent::Show:
    case QEvent::Hide:
        if (auto* panel = dynamic_cast<SelectPanel*>(parentWidget()); m_panelDrawn && panel != nullptr) {
            panel->KeyChanged(this);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (auto* panel = dynamic_cast<SelectPanel*>(parentWidget()); m_panelDrawn && panel != nullptr) {
            panel->InvalidateBoard();
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

namespace {

// The cap's inside: solid fills with the corners cut where the rounded edge
// (drawn over it) passes.
void FillCapShape(QPainter& painter, const QRect& area, const QColor& fill) {
    const QRect cap = area.adjusted(1, 1, -1, -1);
    if (cap.width() > 4 && cap.height() > 4) {
        painter.fillRect(cap.x() + 2, cap.y(), cap.width() - 4, 1, fill);
        painter.fillRect(cap.x() + 1, cap.y() + 1, cap.width() - 2, 1, fill);
        painter.fillRect(cap.x(), cap.y() + 2, cap.width(), cap.height() - 4, fill);
        painter.fillRect(cap.x() + 1, cap.bottom() - 1, cap.width() - 2, 1, fill);
        painter.fillRect(cap.x() + 2, cap.bottom(), cap.width() - 4, 1, fill);
    } else {
        painter.fillRect(cap, fill);
    }
}

bool DarkText(const QColor& fill) {
    return (fill.red() * 299 + fill.green() * 587 + fill.blue() * 114) / 1000 > 140;
}

} // namespace

CapEdges::Look DeviceKeyButton::CurrentLook() const {
    // Keyboard focus shows as the hover edge does.
    const bool hovered = (underMouse() || hasFocus()) && isEnabled();
    return m_selected ? CapEdges::Look::Selected : hovered ? CapEdges::Look::Hovered : CapEdges::Look::Plain;
}

const QPixmap* DeviceKeyButton::Label(const QRect& area, const QColor& fill, qreal pixelRatio, QPoint* at) {
    if (text().isEmpty()) {
        return nullptr;
    }
    const QSize box = CaptionBox(area.size());
    *at = area.topLeft() + QPoint((area.width() - box.width()) / 2, (area.height() - box.height()) / 2);
    // Dark text on a bright cap, light text on a dark one.
    return &LabelPixmap(box, DarkText(fill), pixelRatio);
}

void DeviceKeyButton::PaintCap(QPainter& painter, const QRect& area, CapEdges& edges) {
    const QColor fill = FillColour();
    FillCapShape(painter, area, fill);
    const qreal ratio = painter.device()->devicePixelRatioF();
    painter.drawPixmap(area.topLeft(), edges.Edge(area.size(), CurrentLook(), ratio));
    QPoint at;
    if (const QPixmap* label = Label(area, fill, ratio, &at)) {
        painter.drawPixmap(at, *label);
    }
}

const DeviceKeyButton::Overlay& DeviceKeyButton::BoardOverlay(CapEdges& edges, const QPixmap& background,
                                                              uint64_t generation, const QColor& fill,
                                                              qreal pixelRatio) {
    const QRect area = geometry();
    // The label first: drawing it again changes its version.
    QPoint labelAt;
    const QPixmap* label = Label(QRect(QPoint(0, 0), area.size()), fill, pixelRatio, &labelAt);
    const CapEdges::Look look = CurrentLook();
    Overlay& overlay = m_overlays[int(look)][DarkText(fill) ? 1 : 0];
    if (overlay.valid && overlay.generation == generation && overlay.labelVersion == m_labelVersion &&
        overlay.size == area.size() && overlay.ratio == pixelRatio) {
        return overlay;
    }
    const QRect local(QPoint(0, 0), area.size());
    QPixmap pixmap(area.size() * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // The background wherever the fill does not reach: the shape is the one
    // FillCapShape draws, so the overlay's hole is exactly the fill.
    QImage shape(area.size(), QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter shapePainter(&shape);
        FillCapShape(shapePainter, local, Qt::black);
    }
    const QRegion inside(QBitmap::fromImage(shape.createAlphaMask()));
    painter.setClipRegion(QRegion(local).subtracted(inside));
    painter.drawPixmap(local, background,
                       QRectF(QPointF(area.topLeft()) * pixelRatio, QSizeF(area.size()) * pixelRatio));
    painter.setClipping(false);
    painter.drawPixmap(QPoint(0, 0), edges.Edge(area.size(), look, pixelRatio));
    if (label != nullptr) {
        painter.drawPixmap(labelAt, *label);
    }
    painter.end();
    // Opaque around the cap, the overlay alone hides what the key showed before.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage outside = QImage(shape).convertToFormat(QImage::Format_ARGB32);
    bool opaque = true;
    for (int y = 0; y < image.height() && opaque; ++y) {
        const int sy = std::min(int(y / pixelRatio), outside.height() - 1);
        for (int x = 0; x < image.width(); ++x) {
            const int sx = std::min(int(x / pixelRatio), outside.width() - 1);
            if (qAlpha(outside.pixel(sx, sy)) == 0 && qAlpha(image.pixel(x, y)) != 255) {
                opaque = false;
                break;
            }
        }
    }
    overlay = Overlay{pixmap, generation, m_labelVersion, area.size(), pixelRatio, true, opaque};
    return overlay;
}

void DeviceKeyButton::PaintCapOnBoard(QPainter& painter, CapEdges& edges, const QPixmap& background,
                                      uint64_t generation) {
    const QRect area = geometry();
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QColor fill = FillColour();
    const Overlay& overlay = BoardOverlay(edges, background, generation, fill, ratio);
    if (overlay.opaqueOutside) {
        painter.fillRect(area, fill);
    } else {
        // A see-through background: the old cap is cleared first.
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(area, background,
                           QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        FillCapShape(painter, area, fill);
    }
    painter.drawPixmap(area.topLeft(), overlay.pixmap);
}

const QPixmap& DeviceKeyButton::LabelPixmap(QSize box, bool darkText, qreal pixelRatio) {
    const CaptionLayout& caption = Caption(box);
    if (m_labelRatio != pixelRatio) {
        m_labelValid[0] = m_labelValid[1] = false;
        m_labelRatio = pixelRatio;
    }
    if (!m_labelValid[darkText ? 1 : 0]) {
        ++m_labelVersion;
    }
    QPixmap& label = m_label[darkText ? 1 : 0];
    bool& valid = m_labelValid[darkText ? 1 : 0];
    if (!valid || label.size() != box * pixelRatio) {
        label = QPixmap(box * pixelRatio);
        label.setDevicePixelRatio(pixelRatio);
        label.fill(Qt::transparent);
        QPainter painter(&label);
        painter.setPen(darkText ? QColor(0x10, 0x10, 0x10) : QColor(0xE6, 0xE6, 0xE6));
        painter.setFont(caption.font);
        painter.drawText(QRect(QPoint(0, 0), box), caption.flags, caption.text);
        valid = true;
    }
    return label;
}

const CaptionLayout& DeviceKeyButton::Caption(QSize box) {
    if (!m_captionValid || m_captionText != text() || m_captionBox != box || m_captionFont != font()) {
        m_caption = FitCaption(font(), text(), box, m_captionPixels);
        m_captionText = text();
        m_captionBox = box;
        m_captionFont = font();
        m_captionValid = true;
        m_labelValid[0] = m_labelValid[1] = false;
    }
    return m_caption;
}

} // namespace velkor::ui
