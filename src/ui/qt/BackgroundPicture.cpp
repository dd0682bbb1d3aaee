#include "ui/qt/BackgroundPicture.h"

#include "ui/Toolkit.h"

#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

namespace velkor::ui {

namespace {

template <class Result> Result Fail(std::string* error, std::string why) {
    if (error != nullptr) {
        *error = std::move(why);
    }
    return Result();
}

Picture ReadDrawing(const QString& path, std::string* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Fail<Picture>(error,
                             path.toStdString() + " cannot be read: " + file.errorString().toStdString());
    }
    if (file.size() > kMaxDrawingFileBytes) {
        return Fail<Picture>(error, path.toStdString() + " is too large (" + std::to_string(file.size()) +
                                        " bytes)");
    }
    auto drawing = std::make_shared<QSvgRenderer>(file.readAll());
    if (!drawing->isValid() || drawing->viewBoxF().isEmpty()) {
        return Fail<Picture>(error, path.toStdString() + " is not a drawing");
    }
    return Picture(std::move(drawing));
}

} // namespace

QImage ReadLimitedImage(const QString& path, std::string* error) {
    if (path.isEmpty()) {
        return Fail<QImage>(error, "no picture named");
    }
    QImageReader reader(path);
    reader.setAllocationLimit(int(kMaxImageBytes >> 20));
    const QSize size = reader.size(); // the header only
    if (!reader.canRead() || !size.isValid()) {
        return Fail<QImage>(error,
                            path.toStdString() + " is not a picture: " + reader.errorString().toStdString());
    }
    if (int64_t(size.width()) * size.height() * 4 > kMaxImageBytes) {
        return Fail<QImage>(error, path.toStdString() + " is too large (" + std::to_string(size.width()) +
                                       " x " + std::to_string(size.height()) + ")");
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return Fail<QImage>(error,
                            path.toStdString() + " cannot be decoded: " + reader.errorString().toStdString());
    }
    return image;
}

Picture ReadPicture(const QString& path, std::string* error) {
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        return ReadDrawing(path, error);
    }
    QImage image = ReadLimitedImage(path, error);
    return image.isNull() ? Picture() : Picture(std::move(image));
}

Picture::Picture(QImage raster) : m_raster(std::move(raster)) {}

Picture::Picture(std::shared_ptr<QSvgRenderer> drawing) : m_drawing(std::move(drawing)) {}

bool Picture::IsNull() const {
    return m_drawing == nullptr && m_raster.isNull();
}

QRectF Picture::DrawingArea(QSizeF size) const {
    const QSizeF box = m_drawing->viewBoxF().size().scaled(size, Qt::KeepAspectRatio);
    return QRectF(QPointF((size.width() - box.width()) / 2, (size.height() - box.height()) / 2), box);
}

QPixmap Picture::Render(QSize size, qreal pixelRatio) const {
    const QSize pixels = (QSizeF(size) * pixelRatio).toSize();
    if (IsNull() || pixels.isEmpty() || int64_t(pixels.width()) * pixels.height() * 4 > kMaxImageBytes) {
        return QPixmap();
    }
    QPixmap rendered;
    if (m_drawing == nullptr) {
        rendered =
            QPixmap::fromImage(m_raster.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        rendered = QPixmap(pixels);
        rendered.fill(Qt::transparent);
        QPainter painter(&rendered);
        painter.setRenderHint(QPainter::Antialiasing);
        m_drawing->render(&painter, DrawingArea(QSizeF(pixels)));
    }
    rendered.setDevicePixelRatio(pixelRatio);
    return rendered;
}

QRectF Picture::ElementBounds(const QString& id, QSize size) const {
    if (m_drawing == nullptr || !m_drawing->elementExists(id)) {
        return QRectF();
    }
    const QRectF inDrawing = m_drawing->transformForElement(id).mapRect(m_drawing->boundsOnElement(id));
    const QRectF view = m_drawing->viewBoxF();
    const QRectF area = DrawingArea(QSizeF(size));
    const qreal scale = area.width() / view.width();
    return QRectF(area.topLeft() + (inDrawing.topLeft() - view.topLeft()) * scale, inDrawing.size() * scale);
}

const QPixmap& ScaledPicture::At(QSize size, qreal pixelRatio) {
    if (size != m_size || pixelRatio != m_ratio) {
        m_rendered = m_picture.Render(size, pixelRatio);
        m_size = size;
        m_ratio = pixelRatio;
        ++m_renders;
    }
    return m_rendered;
}

BackgroundPicture::BackgroundPicture(QWidget& widget, Picture picture)
    : QObject(&widget), m_widget(widget), m_picture(std::move(picture)) {
    setObjectName(kObjectName);
    widget.installEventFilter(this);
    widget.update();
}

bool BackgroundPicture::eventFilter(QObject* watched, QEvent* event) {
    // The widget's own background is drawn before its paint event is sent, so
    // painting here lies above it and below everything the widget draws.
    if (watched != &m_widget || event->type() != QEvent::Paint || m_picture.IsNull()) {
        return false;
    }
    const QPixmap& picture = m_picture.At(m_widget.size(), m_widget.devicePixelRatioF());
    if (!picture.isNull()) {
        QPainter painter(&m_widget);
        painter.drawPixmap(0, 0, picture);
    }
    return false;
}

} // namespace velkor::ui
