#pragma once
// A key or LED of a device picture, drawn by the program itself: a rounded key
// cap lit with the renderer's colour at its brightness level, an accent ring
// with a light inner line when selected (visible on any LED colour), and its
// label. A click raises "click"; selection is set by the
// logic or by the selection panel, never toggled by a click.
//
// A key whose parent is a selection panel does not paint itself: the panel
// draws all its keys' caps in one pass, and a key asks it to repaint only the
// key redrawn when the key's look changes (a picture of 170 lit keys
// animating costs one paint event, not 170). The key stays a widget for its
// name, clicks, hover, selection and visibility.
//
// Keys of a full keyboard picture are small, so the label is fitted to the
// cap: it breaks only between words, and the keys of one row of a selection
// panel share one size, the largest at which every caption of the row fits.
// A caption that does not fit even at the smallest size is elided (the
// layouts' captions are checked by a test never to need that).
#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

namespace velkor::ui {

// Below this pixel size a label is no longer shrunk (it is broken or elided instead).
inline constexpr int kMinCaptionPixels = 6;

struct CaptionLayout {
    QFont font;
    QString text;  // as drawn: the label itself, or its elided form
    int flags = 0; // QPainter::drawText flags (centred, and how it wraps)
};

// The box a caption has on a cap of `cap` pixels (small caps keep a thinner margin).
QSize CaptionBox(QSize cap);
// The largest pixel size, from `font`'s own down to kMinCaptionPixels, at
// which `text` fits `box` broken only between words; 0 when none does.
int LargestCaptionPixels(const QFont& font, const QString& text, QSize box);
// How `text` is drawn into `box`: at `pixels` (0: the largest size that fits
// it alone) broken only between words, or elided on one line at the smallest
// size when it does not fit so.
CaptionLayout FitCaption(const QFont& font, const QString& text, QSize box, int pixels = 0);

// The edges of key caps (plain, hovered, selected) drawn once per cap size
// and pixel ratio into pixmaps with a transparent inside: a cap is then a few
// solid fills and two copies instead of an antialiased path, which is what
// lets a panel draw 170 caps in a fraction of a millisecond.
class CapEdges {
public:
    enum class Look { Plain, Hovered, Selected };
    const QPixmap& Edge(QSize size, Look look, qreal pixelRatio);

private:
    struct Entry {
        QSize size;
        Look look;
        qreal ratio;
        QPixmap pixmap;
    };
    std::vector<Entry> m_entries; // a picture has a handful of key sizes
};

class DeviceKeyButton final : public QAbstractButton {
public:
    explicit DeviceKeyButton(QWidget* parent = nullptr);

    // 0xRRGGBB at level 0..255; level 0 shows the unlit cap. Repaints only on a change.
    void SetLight(uint32_t rgb, uint8_t level);
    // The label (setText, repainted where the key is drawn).
    void SetCaption(const QString& text);
    // The caption's pixel size chosen for its row; 0 fits the caption alone.
    void SetCaptionPixels(int pixels);
    // The caption as it is drawn on the cap's current size.
    CaptionLayout CurrentCaption() { return Caption(CaptionBox(size())); }
    uint32_t LightColour() const { return m_rgb; }
    uint8_t LightLevel() const { return m_level; }
    void SetSelected(bool selected);
    bool IsSelected() const { return m_selected; }

    // The colour the cap is filled with: each channel × level / 255, or the unlit colour.
    QColor FillColour() const;

    QSize sizeHint() const override { return QSize(36, 36); }

    // Its selection panel draws it (set when the key is created in one).
    bool PanelDrawn() const { return m_panelDrawn; }
    // Asks for the key's area to be repainted by whoever draws it.
    void RequestPaint();
    // Draws the cap into `area` (the key's rectangle in the painter's
    // coordinates), with the edges from `edges`.
    void PaintCap(QPainter& painter, const QRect& area, CapEdges& edges);
    // Draws the cap into its panel's picture of the board over whatever the
    // key showed before. `background` is the panel's background (same
    // coordinates as the board) and `generation` changes whenever it does.
    // The parts that do not change with the colour (the background around
    // the cap, its edge, the label) are composed once per look into one
    // pixmap, so a new colour costs a fill and one copy.
    void PaintCapOnBoard(QPainter& painter, CapEdges& edges, const QPixmap& background, uint64_t generation);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The label drawn once into a pixmap for the current text, box, font,
    // text colour and pixel ratio; drawing it is a copy.
    const QPixmap& LabelPixmap(QSize box, bool darkText, qreal pixelRatio);

    friend class SelectPanel;

    CapEdges::Look CurrentLook() const;
    // The label's pixmap and where it goes in `area`; null without a label.
    const QPixmap* Label(const QRect& area, const QColor& fill, qreal pixelRatio, QPoint* at);

    // What the board path copies over the fill: the background outside the
    // cap's shape, the edge and the label, for one look and text colour.
    struct Overlay {
        QPixmap pixmap;
        uint64_t generation = 0;
        uint32_t labelVersion = 0;
        QSize size;
        qreal ratio = 0;
        bool valid = false;
        bool opaqueOutside = false; // the background around the cap hides the old cap
    };
    const Overlay& BoardOverlay(CapEdges& edges, const QPixmap& background, uint64_t generation,
                                const QColor& fill, qreal pixelRatio);

    // The fitted label for the current text, size and font (fitting costs a
    // few text layouts; the lights repaint many times a second).
    const CaptionLayout& Caption(QSize box);

    CaptionLayout m_caption;
    bool m_captionValid = false;
    int m_captionPixels = 0; // the row's size; 0: the caption's own
    QString m_captionText;
    QSize m_captionBox;
    QFont m_captionFont;
    CapEdges m_edges; // when it paints itself
    // Light text [0] and dark text [1]: a cap whose colour crosses from dark
    // to bright swaps them rather than drawing the text again.
    QPixmap m_label[2];
    bool m_labelValid[2] = {false, false};
    qreal m_labelRatio = 0;
    uint32_t m_labelVersion = 0; // changes whenever the label pixmaps are drawn again
    Overlay m_overlays[3][2];    // [look][dark text]
    uint32_t m_rgb = 0;
    uint8_t m_level = 0;
    bool m_selected = false;
    bool m_panelDrawn = false;
    bool m_queued = false; // in its panel's list of keys to redraw
};

} // namespace velkor::ui
