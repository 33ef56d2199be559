// The floor of the screen latency: the least a Qt widget can do per mouse event on the same Qt and X server.
// It paints a one-pixel dot at every event's position and presents it at once with repaint() of that
// pixel, as the canvas presents its changed rectangle; the release repaints the dots' bounding box, as the
// canvas's commit does. Qt's compression of queued moves is off, as it is in Brisel (--compress keeps Qt's
// default, to see what compression changes).

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWidget>

#include <cstring>

namespace {

class DotWidget final : public QWidget {
 public:
  DotWidget() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    surface_ = QImage(1920, 1080, QImage::Format_RGB32);
    surface_.fill(Qt::white);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), surface_, r);
  }
  void mousePressEvent(QMouseEvent* event) override {
    // Each stroke in another colour, so that it changes the pixels of the one before it.
    static const QRgb colours[] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)};
    colour_ = colours[++strokes_ % 3];
    stroke_ = QRect();
    Dot(event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (event->buttons() != Qt::NoButton) Dot(event->position().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent*) override { repaint(stroke_); }

 private:
  void Dot(QPoint at) {
    if (!surface_.rect().contains(at)) return;
    surface_.setPixel(at, colour_);
    stroke_ |= QRect(at, QSize(1, 1));
    repaint(QRect(at, QSize(1, 1)));
  }

  QImage surface_;
  QRect stroke_;
  QRgb colour_ = 0;
  int strokes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const bool compress = argc > 1 && std::strcmp(argv[1], "--compress") == 0;
  QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, compress);
  QApplication app(argc, argv);
  DotWidget widget;
  widget.setWindowTitle("dot floor");
  widget.resize(1920, 1080);
  widget.show();
  return app.exec();
}
