// PicShow: the reader's picture transition control (PicShow1). It shows a
// picture and brings the next one in over the old view with one of 172
// numbered transition styles, animated on the window thread at the screen's
// frame rate.
//
// Use: LoadPicture(path) (or SetPicture), SetStyle(n), Execute(); Busy() is
// true until the transition ends, then finished() is emitted and the new
// picture stays shown. The old view is what the control showed before, or a
// picture handed to SetOldPicture() (e.g. a grab of the live page).
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace talvenor {

class PicShow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int duration READ Duration WRITE SetDuration)
    Q_PROPERTY(int style READ Style WRITE SetStyle)
  public:
    static constexpr int kStyleCount = 172;
    static constexpr int kInitialStyle = 15;      // unroll from the right: "next page"
    static constexpr int kDefaultDuration = 650;  // ms

    explicit PicShow(QWidget* parent = nullptr);

    // Reads the picture for the next Execute(); false (and the picture kept)
    // when the file is missing or is no readable image.
    bool LoadPicture(const QString& path);
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    // The view the next Execute() starts from, instead of the shown picture.
    void SetOldPicture(const QImage& old);

    // The style is a byte; numbers past the last style wrap around
    // (172 is style 0, 255 is style 83).
    void SetStyle(int style);
    int Style() const { return style_; }
    static QString StyleName(int style);

    // Length of a transition in milliseconds (0 = at once).
    void SetDuration(int ms);
    int Duration() const { return duration_; }

    // Starts bringing the picture in. A transition still running is finished
    // at once first. Without a picture nothing happens.
    void Execute();
    // Ends a running transition at once, showing the new picture.
    void Stop();
    bool Busy() const { return busy_; }

    // One frame of a transition, drawn into the rectangle (0, 0) to the new
    // picture's size: t = 0 is exactly the old picture, t = 1 exactly the new
    // one. The old picture is scaled when its size differs.
    static void RenderFrame(QPainter& p, const QImage& oldPic, const QImage& newPic, int style, double t);
    static QImage Frame(const QImage& oldPic, const QImage& newPic, int style, double t);

  signals:
    void finished();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Tick();
    void Finish();
    QImage FitToView(const QImage& image) const;

    QImage picture_;  // the picture of the next or the last transition
    QImage shown_;    // what is shown when no transition runs
    QImage pendingOld_;
    QImage from_, to_;  // the running transition's pictures, at the view's size
    int style_ = kInitialStyle;
    int runStyle_ = kInitialStyle;
    int duration_ = kDefaultDuration;
    bool busy_ = false;
    QTimer timer_;
    QElapsedTimer clock_;
};

}  // namespace talvenor
