#include "ui/qt/BackgroundPicture.h"

#include "ui/Toolkit.h"

#include <QEvent>
#include <QImageReader>
#include <QPainter>
#include <QWidget>

namespace velkor::ui {

QImage ReadLimitedImage(const QString& path, std::string* error) {
    const auto fail = [error](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
        return QImage();
    };
    if (path.isEmpty()) {
        return fail("no picture named");
    }
    QImageReader reader(path);
    reader.setAllocationLimit(int(kMaxImageBytes >> 20));
    const QSize size = reader.size(); // the header only
    if (!reader.canRead() || !size.isValid()) {
        return fail(path.toStdString() + " is not a picture: " + reader.errorString().toStdString());
    }
    if (int64_t(size.width()) * size.height() * 4 > kMaxImageBytes) {
        return fail(path.toStdString() + " is too large (" + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + ")");
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return fail(path.toStdString() + " cannot be decoded: " + reader.errorString().toStdString());
    }
    return image;
}

BackgroundPicture::BackgroundPicture(QWidget& widget, QImage picture)
    : QObject(&widget), m_widget(widget), m_picture(std::move(picture)) {
    setObjectName(kObjectName);
    widget.installEventFilter(this);
    widget.update();
}

bool BackgroundPicture::eventFilter(QObject* watched, QEvent* event) {
    // The widget's own background is drawn before its paint event is sent, so
    // painting here lies above it and below everything the widget draws.
    if (watched != &m_widget || event->type() != QEvent::Paint || m_picture.isNull()) {
        return false;
    }
    const qreal ratio = m_widget.devicePixelRatioF();
    const QSize size = m_widget.size() * ratio;
    if (size.isEmpty()) {
        return false;
    }
    if (m_scaled.size() != size) {
        m_scaled =
            QPixmap::fromImage(m_picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
        ++m_scaleCount;
    }
    QPainter painter(&m_widget);
    painter.drawPixmap(0, 0, m_scaled);
    return false;
}

} // namespace velkor::ui
