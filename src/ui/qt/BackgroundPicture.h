#pragma once
// Pictures that the layouts name as backgrounds. A raster picture (PNG, JPEG)
// is decoded once, within the picture memory limit, and stretched over its
// widget. An SVG drawing is rendered afresh for each size and pixel ratio it
// is shown at, keeping its proportions, so that it stays sharp at any DPI;
// the device pictures are drawings. User-interface thread only.
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <memory>
#include <string>

class QSvgRenderer;
class QWidget;

namespace velkor::ui {

// An SVG file larger than this is refused unread (the program's own drawings take a few kilobytes).
inline constexpr qint64 kMaxDrawingFileBytes = qint64(4) << 20;

// The picture in the file at `path`, decoded with the decoder's allocation
// limit at kMaxImageBytes; a header that claims more pixels than the limit
// allows is refused before any pixel is decoded. A null image, with `error`
// set, when the file is missing, not a picture, too large or damaged.
QImage ReadLimitedImage(const QString& path, std::string* error = nullptr);

class Picture {
public:
    Picture() = default;
    explicit Picture(QImage raster);
    explicit Picture(std::shared_ptr<QSvgRenderer> drawing);

    bool IsNull() const;
    bool IsDrawing() const { return m_drawing != nullptr; }
    // The picture over `size` logical pixels at `pixelRatio` (size × ratio
    // device pixels): a raster picture stretched; a drawing rendered at that
    // resolution, as large as fits with its proportions, centred on a
    // transparent ground. Null for an empty size or a null picture.
    QPixmap Render(QSize size, qreal pixelRatio) const;
    // Where the drawing's element `id` lies when the drawing is rendered over
    // `size` logical pixels; empty for a raster picture or an unknown element.
    QRectF ElementBounds(const QString& id, QSize size) const;

private:
    // Where the drawing goes in an area of `size`.
    QRectF DrawingArea(QSizeF size) const;

    QImage m_raster;
    std::shared_ptr<QSvgRenderer> m_drawing;
};

// The picture in the file at `path`: a drawing when the file name ends in
// ".svg", otherwise a raster picture read by ReadLimitedImage. A null
// picture, with `error` set, when the file is missing, too large, or not a
// picture of its kind.
Picture ReadPicture(const QString& path, std::string* error = nullptr);

// A picture with its rendering for the last size and pixel ratio asked for.
class ScaledPicture {
public:
    ScaledPicture() = default;
    explicit ScaledPicture(Picture picture) : m_picture(std::move(picture)) {}

    const Picture& Source() const { return m_picture; }
    bool IsNull() const { return m_picture.IsNull(); }
    // The picture rendered over `size` at `pixelRatio`: rendered again only
    // when the size or the ratio changed.
    const QPixmap& At(QSize size, qreal pixelRatio);
    // The last rendering (null before the first).
    const QPixmap& Rendered() const { return m_rendered; }
    // How often the picture was rendered (once per size and ratio shown).
    int RenderCount() const { return m_renders; }

private:
    Picture m_picture;
    QPixmap m_rendered;
    QSize m_size;
    qreal m_ratio = 0;
    int m_renders = 0;
};

// Paints a picture over a widget's background: above its style-sheet
// background and below its children.
class BackgroundPicture final : public QObject {
public:
    // The object name under which the widget holds it.
    static constexpr const char* kObjectName = "velkorBackgroundPicture";

    // Paints `picture` (not null) over `widget`'s background from now on; the
    // widget owns the object, and deleting it ends the painting.
    BackgroundPicture(QWidget& widget, Picture picture);

    const ScaledPicture& Current() const { return m_picture; }
    // How often the picture was rendered for a new size or pixel ratio.
    int ScaleCount() const { return m_picture.RenderCount(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_widget;
    ScaledPicture m_picture;
};

} // namespace velkor::ui
