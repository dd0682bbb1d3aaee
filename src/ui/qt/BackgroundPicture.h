#pragma once
// A picture stretched over a widget's background. The file is decoded once,
// within the picture memory limit; the picture is scaled once per widget size
// and the scaled copy is painted on every paint, above the widget's style-sheet
// background and below its children. User-interface thread only.
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <string>

class QWidget;

namespace velkor::ui {

// The picture in the file at `path`, decoded with the decoder's allocation
// limit at kMaxImageBytes; a header that claims more pixels than the limit
// allows is refused before any pixel is decoded. A null image, with `error`
// set, when the file is missing, not a picture, too large or damaged.
QImage ReadLimitedImage(const QString& path, std::string* error = nullptr);

class BackgroundPicture final : public QObject {
public:
    // The object name under which the widget holds it.
    static constexpr const char* kObjectName = "velkorBackgroundPicture";

    // Paints `picture` (not null) over `widget`'s background from now on; the
    // widget owns the object, and deleting it ends the painting.
    BackgroundPicture(QWidget& widget, QImage picture);

    // How often the picture was scaled to a new size (once per size painted).
    int ScaleCount() const { return m_scaleCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_widget;
    const QImage m_picture;
    QPixmap m_scaled;
    int m_scaleCount = 0;
};

} // namespace velkor::ui
