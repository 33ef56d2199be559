// The twelve button icons, drawn in code: 29 x 29 pixels, antialiased, on a transparent back, kept inside
// the 3-pixel margin the button's bevel needs. Coordinates are pixels with (0, 0) the top-left corner.

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

#include "platform/qt/controls_impl.h"

namespace brisel::platform {
namespace {

constexpr int kSize = 29;

// The icons' small palette.
const QColor kInk(40, 40, 48);
const QColor kOutline(52, 52, 60);
const QColor kBlue(46, 110, 214);
const QColor kLightBlue(140, 190, 245);
const QColor kWood(176, 120, 64);
const QColor kMetal(196, 200, 208);
const QColor kGreen(40, 150, 70);
const QColor kRed(200, 40, 36);

QPen Stroke(const QColor& color, double width) { return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

// An arrow from `from` to `to` with a filled head at `to`.
void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, double width, double head) {
  const QPointF d = to - from;
  const double len = std::hypot(d.x(), d.y());
  const QPointF u = d / len, n(-u.y(), u.x());
  const QPointF base = to - u * head;
  p.setPen(Stroke(color, width));
  p.drawLine(from, base + u * 0.5);
  QPolygonF tip;
  tip << to << base + n * (head * 0.62) << base - n * (head * 0.62);
  p.setPen(Stroke(color, 1.0));
  p.setBrush(color);
  p.drawPolygon(tip);
}

void DrawPen(QPainter& p) {
  // The line being drawn, ending under the nib.
  QPainterPath line(QPointF(5, 23.5));
  line.cubicTo(QPointF(7, 20), QPointF(9, 26), QPointF(11.5, 20.5));
  p.setPen(Stroke(kBlue, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawPath(line);
  // The pen lies along the diagonal, nib at (11.5, 20.5), drawn along the x axis and turned.
  p.save();
  p.translate(11.5, 20.5);
  p.rotate(-50);
  QPolygonF nib;
  nib << QPointF(0, 0) << QPointF(5.5, -2.6) << QPointF(5.5, 2.6);
  p.setPen(Stroke(kOutline, 0.9));
  p.setBrush(kMetal);
  p.drawPolygon(nib);
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(5.5, -2.8, 12, 5.6), 1.2, 1.2);
  p.setBrush(kInk);
  p.drawRoundedRect(QRectF(16.5, -2.8, 4, 5.6), 1.6, 1.6);
  p.setPen(Stroke(QColor(255, 255, 255, 150), 0.8));
  p.drawLine(QPointF(7, -1.4), QPointF(15.5, -1.4));
  p.restore();
}

void DrawWaterBrush(QPainter& p) {
  // The puddle.
  QRadialGradient water(QPointF(13, 22), 11);
  water.setColorAt(0, kLightBlue);
  water.setColorAt(1, kBlue);
  p.setPen(Stroke(kBlue.darker(130), 0.9));
  p.setBrush(water);
  p.drawEllipse(QRectF(3.5, 18.5, 20, 7));
  p.setPen(Stroke(QColor(255, 255, 255, 170), 0.9));
  p.drawArc(QRectF(6, 20, 9, 3.5), 30 * 16, 120 * 16);
  // The brush, bristles dipped in the water.
  p.save();
  p.translate(12.5, 21.5);
  p.rotate(-55);
  QPainterPath bristles(QPointF(0, 0));
  bristles.cubicTo(QPointF(2, -2.6), QPointF(5, -2.8), QPointF(7, -2.4));
  bristles.lineTo(QPointF(7, 2.4));
  bristles.cubicTo(QPointF(5, 2.8), QPointF(2, 2.6), QPointF(0, 0));
  p.setPen(Stroke(kOutline, 0.9));
  p.setBrush(kInk);
  p.drawPath(bristles);
  p.setBrush(kMetal);
  p.drawRect(QRectF(7, -2.4, 4, 4.8));
  p.setBrush(kWood);
  p.drawRoundedRect(QRectF(11, -1.7, 10, 3.4), 1.5, 1.5);
  p.restore();
}

void DrawInkPot(QPainter& p) {
  // A squat bottle of dark glass with a blue label and a stopper.
  QLinearGradient glass(QPointF(6, 0), QPointF(23, 0));
  glass.setColorAt(0, QColor(70, 74, 96));
  glass.setColorAt(0.35, QColor(24, 26, 40));
  glass.setColorAt(1, QColor(12, 12, 20));
  p.setPen(Stroke(kOutline, 1.0));
  p.setBrush(glass);
  QPainterPath body;
  body.setFillRule(Qt::WindingFill);
  body.addRoundedRect(QRectF(5.5, 12.5, 18, 12.5), 3.5, 3.5);
  body.addRoundedRect(QRectF(10.5, 8.5, 8, 5), 1, 1);
  p.drawPath(body.simplified());
  p.setBrush(kWood.darker(120));
  p.drawRoundedRect(QRectF(10, 5, 9, 4), 1.2, 1.2);
  p.setPen(Qt::NoPen);
  p.setBrush(kLightBlue);
  p.drawRect(QRectF(8.5, 16.5, 12, 5));
  p.setPen(Stroke(kBlue.darker(140), 1.0));
  p.drawLine(QPointF(10.5, 19), QPointF(18.5, 19));
  p.setPen(Stroke(QColor(255, 255, 255, 120), 1.0));
  p.drawLine(QPointF(7.5, 15), QPointF(7.5, 22));
}

void DrawGelBlob(QPainter& p) {
  // A dollop: rounded peak, full sides, flat-ish bottom.
  QPainterPath blob(QPointF(14.5, 4.5));
  blob.cubicTo(QPointF(18, 6), QPointF(25.5, 13), QPointF(24.5, 20));
  blob.cubicTo(QPointF(23.5, 25.5), QPointF(5.5, 25.5), QPointF(4.5, 20));
  blob.cubicTo(QPointF(3.5, 13), QPointF(11, 6), QPointF(14.5, 4.5));
  QRadialGradient gel(QPointF(11, 12), 15, QPointF(10, 11));
  gel.setColorAt(0, QColor(170, 210, 255));
  gel.setColorAt(0.45, kBlue);
  gel.setColorAt(1, QColor(20, 60, 150));
  p.setPen(Stroke(QColor(20, 55, 130), 1.0));
  p.setBrush(gel);
  p.drawPath(blob);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 210));
  p.drawEllipse(QRectF(8.5, 11, 4.5, 3.5));
  p.setBrush(QColor(255, 255, 255, 120));
  p.drawEllipse(QRectF(18.5, 19.5, 2.5, 2));
}

void DrawHand(QPainter& p) {
  // Four fingers, a thumb and the palm, joined into one outline.
  QPainterPath hand;
  hand.setFillRule(Qt::WindingFill);  // overlaps join, rather than cut holes
  hand.addRoundedRect(QRectF(8, 7, 3.6, 12), 1.8, 1.8);
  hand.addRoundedRect(QRectF(11.6, 4, 3.6, 14), 1.8, 1.8);
  hand.addRoundedRect(QRectF(15.2, 5, 3.6, 13), 1.8, 1.8);
  hand.addRoundedRect(QRectF(18.8, 8, 3.4, 11), 1.7, 1.7);
  hand.addRoundedRect(QRectF(8, 14, 14.2, 11.5), 4, 4);
  QPainterPath thumb;
  thumb.addRoundedRect(QRectF(-1.8, -6.5, 3.6, 10), 1.8, 1.8);
  hand.addPath(QTransform().translate(7.5, 18).rotate(-40).map(thumb));
  p.setPen(Stroke(kOutline, 1.0));
  p.setBrush(QColor(246, 214, 180));
  p.drawPath(hand.simplified());
  // The fingers' edges, from the gaps between their tips down to the palm.
  p.setPen(Stroke(kOutline, 0.8));
  p.drawLine(QPointF(11.6, 9), QPointF(11.6, 14.5));
  p.drawLine(QPointF(15.2, 7), QPointF(15.2, 14.5));
  p.drawLine(QPointF(18.8, 9.8), QPointF(18.8, 14.5));
}

void DrawNestedSquares(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kOutline, 1.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawRect(QRectF(4.5, 4.5, 20, 20));
  p.setPen(QPen(kBlue, 1.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawRect(QRectF(9, 9, 11, 11));
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue.darker(120));
  p.drawRect(QRectF(12.5, 12.5, 4, 4));
}

// "100%" in a 5-pixel-high pixel font, crisp at this size where a scaled font would blur. Rows top down.
void DrawTiny100(QPainter& p, int left, int top) {
  static const char* const kOne[] = {".X", "XX", ".X", ".X", ".X"};
  static const char* const kZero[] = {"XXX", "X.X", "X.X", "X.X", "XXX"};
  static const char* const kPercent[] = {"X..X", "..X.", ".X..", "X...", "...X"};
  auto glyph = [&](const char* const* rows, int x) {
    for (int y = 0; y < 5; ++y)
      for (int i = 0; rows[y][i]; ++i)
        if (rows[y][i] == 'X') p.fillRect(QRect(x + i, top + y, 1, 1), kInk);
  };
  glyph(kOne, left);
  glyph(kZero, left + 3);
  glyph(kZero, left + 7);
  glyph(kPercent, left + 11);
}

void DrawMagnifier100(QPainter& p) {
  // Handle first, so the rim covers its end.
  p.setPen(Stroke(kWood.darker(130), 4.2));
  p.drawLine(QPointF(19.5, 19.5), QPointF(24, 24));
  QRadialGradient lens(QPointF(10, 9), 12);
  lens.setColorAt(0, QColor(240, 248, 255));
  lens.setColorAt(1, QColor(175, 208, 240));
  p.setPen(Stroke(kOutline, 1.6));
  p.setBrush(lens);
  p.drawEllipse(QPointF(12.5, 12.5), 9.6, 9.6);
  DrawTiny100(p, 5, 10);
}

void DrawFourArrows(QPainter& p) {
  const QPointF c(14.5, 14.5);
  Arrow(p, c, QPointF(14.5, 3.5), kOutline, 1.8, 5);
  Arrow(p, c, QPointF(14.5, 25.5), kOutline, 1.8, 5);
  Arrow(p, c, QPointF(3.5, 14.5), kOutline, 1.8, 5);
  Arrow(p, c, QPointF(25.5, 14.5), kOutline, 1.8, 5);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawEllipse(c, 2.2, 2.2);
}

// A small window: frame, blue title bar, white client.
void DrawWindow(QPainter& p, const QRectF& r) {
  p.setPen(Stroke(kOutline, 1.0));
  p.setBrush(Qt::white);
  p.drawRect(r);
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, 3.5));
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(QRectF(r.left() + 2, r.top() + 6, r.width() - 4, r.height() - 7.5));
}

void DrawWindowOut(QPainter& p) {
  DrawWindow(p, QRectF(3.5, 6.5, 15, 16));
  Arrow(p, QPointF(11, 15), QPointF(26, 15), kGreen, 2.6, 6.5);
}

void DrawWindowIn(QPainter& p) {
  DrawWindow(p, QRectF(3.5, 6.5, 15, 16));
  Arrow(p, QPointF(25, 15), QPointF(9.5, 15), kRed.lighter(110), 2.6, 6.5);
}

void DrawLeftArrow(QPainter& p) {
  QPolygonF arrow;
  arrow << QPointF(4, 14.5) << QPointF(13, 6) << QPointF(13, 11) << QPointF(24.5, 11) << QPointF(24.5, 18)
        << QPointF(13, 18) << QPointF(13, 23);
  QLinearGradient fill(QPointF(0, 6), QPointF(0, 23));
  fill.setColorAt(0, QColor(110, 200, 120));
  fill.setColorAt(1, kGreen.darker(115));
  p.setPen(Stroke(kGreen.darker(160), 1.0));
  p.setBrush(fill);
  p.drawPolygon(arrow);
}

void DrawCross(QPainter& p) {
  p.setPen(Stroke(kRed.darker(150), 5.0));
  p.drawLine(QPointF(7, 7), QPointF(22, 22));
  p.drawLine(QPointF(22, 7), QPointF(7, 22));
  p.setPen(Stroke(kRed, 3.2));
  p.drawLine(QPointF(7, 7), QPointF(22, 22));
  p.drawLine(QPointF(22, 7), QPointF(7, 22));
}

QImage Draw(Icon icon) {
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  switch (icon) {
    case Icon::None: return QImage();
    case Icon::Pen: DrawPen(p); break;
    case Icon::WaterBrush: DrawWaterBrush(p); break;
    case Icon::InkPot: DrawInkPot(p); break;
    case Icon::GelBlob: DrawGelBlob(p); break;
    case Icon::Hand: DrawHand(p); break;
    case Icon::NestedSquares: DrawNestedSquares(p); break;
    case Icon::Magnifier100: DrawMagnifier100(p); break;
    case Icon::FourArrows: DrawFourArrows(p); break;
    case Icon::WindowOut: DrawWindowOut(p); break;
    case Icon::WindowIn: DrawWindowIn(p); break;
    case Icon::LeftArrow: DrawLeftArrow(p); break;
    case Icon::Cross: DrawCross(p); break;
  }
  return image;
}

}  // namespace

QImage IconImage(Icon icon) {
  // Drawn once each; QImage shares its pixels, so handing out copies is cheap.
  static std::array<QImage, size_t(Icon::Cross) + 1> cache;
  QImage& slot = cache[size_t(icon)];
  if (slot.isNull() && icon != Icon::None) slot = Draw(icon);
  return slot;
}

}  // namespace brisel::platform
