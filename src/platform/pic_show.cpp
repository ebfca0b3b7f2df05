#include "platform/pic_show.h"

#include <QImageReader>
#include <QPaintEvent>
#include <QScreen>
#include <cmath>

namespace talvenor {

PicShow::PicShow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PicShow::Tick);
}

bool PicShow::LoadPicture(const QString& path) {
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) return false;
    SetPicture(image);
    return true;
}

void PicShow::SetPicture(const QImage& picture) {
    picture_ = picture.convertToFormat(QImage::Format_RGB32);
}

void PicShow::SetOldPicture(const QImage& old) {
    pendingOld_ = old;
}

void PicShow::SetStyle(int style) {
    style_ = (style & 0xFF) % kStyleCount;
}

void PicShow::SetDuration(int ms) {
    duration_ = ms < 0 ? 0 : ms;
}

QImage PicShow::FitToView(const QImage& image) const {
    const QSize view = size().isEmpty() ? image.size() : size();
    QImage fitted =
        image.size() == view ? image : image.scaled(view, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return fitted.convertToFormat(QImage::Format_RGB32);
}

void PicShow::Execute() {
    if (busy_) Finish();
    if (picture_.isNull()) return;
    to_ = FitToView(picture_);
    if (!pendingOld_.isNull()) {
        from_ = FitToView(pendingOld_);
    } else if (!shown_.isNull()) {
        from_ = FitToView(shown_);
    } else {
        // Nothing shown yet: start from the empty control.
        from_ = QImage(to_.size(), QImage::Format_RGB32);
        from_.fill(palette().color(QPalette::Window));
    }
    pendingOld_ = QImage();
    runStyle_ = style_;
    busy_ = true;
    if (duration_ == 0) {
        Finish();
        return;
    }
    // One repaint per refresh of the screen the control is on.
    const QScreen* s = screen();
    const double rate = s && s->refreshRate() > 1 ? s->refreshRate() : 60.0;
    timer_.start(std::max(1, int(std::floor(1000.0 / rate))));
    clock_.start();
    update();
}

void PicShow::Stop() {
    if (busy_) Finish();
}

void PicShow::Tick() {
    if (clock_.elapsed() >= duration_) {
        Finish();
    } else {
        update();
    }
}

void PicShow::Finish() {
    timer_.stop();
    shown_ = to_;
    from_ = to_ = QImage();
    busy_ = false;
    update();
    emit finished();
}

void PicShow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage& still = busy_ ? to_ : shown_;
    if (still.isNull()) {
        p.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    if (still.size() != size()) {
        // Resized since the pictures were fitted: scale the frame to the view.
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(double(width()) / still.width(), double(height()) / still.height());
    }
    if (busy_) {
        const double t = std::min(1.0, clock_.elapsed() / double(duration_));
        RenderFrame(p, from_, to_, runStyle_, t);
    } else {
        p.drawImage(0, 0, shown_);
    }
}

}  // namespace talvenor
