// The image holder over a QImage, and drawing its picture onto a form's or a picture box's surface.

#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "platform/qt/control_registry.h"
#include "platform/qt/controls_impl.h"
#include "platform/qt/form_impl.h"

namespace brisel::platform {

// The holder is never shown, so it has no widget: only its picture and its box.
struct ImageHolder::Impl {
  QImage picture;  // Format_RGB32 once loaded; null without a picture
  int32_t left = 0, top = 0, width = 0, height = 0;
};

ImageHolder::ImageHolder(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height)
    : impl_(std::make_unique<Impl>()) {
  impl_->left = left;
  impl_->top = top;
  impl_->width = width;
  impl_->height = height;
  RegisterControl(parent, this);
}

ImageHolder::~ImageHolder() { UnregisterControl(this); }

bool ImageHolder::LoadPicture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  QImage image = reader.read();
  if (image.isNull()) return false;
  // Transparent parts of a picture show black, as they would on a window without an alpha channel.
  impl_->picture = image.convertToFormat(QImage::Format_RGB32);
  impl_->width = impl_->picture.width();
  impl_->height = impl_->picture.height();
  return true;
}

bool ImageHolder::hasPicture() const { return !impl_->picture.isNull(); }

int32_t ImageHolder::left() const { return impl_->left; }
int32_t ImageHolder::top() const { return impl_->top; }
int32_t ImageHolder::width() const { return impl_->width; }
int32_t ImageHolder::height() const { return impl_->height; }

namespace {
// Draws picture at (x, y) on surface, clipped to it; returns the touched part of the surface.
QRect DrawOn(QImage& surface, const QImage& picture, int32_t x, int32_t y) {
  const QRect area = QRect(x, y, picture.width(), picture.height()).intersected(surface.rect());
  if (area.isEmpty()) return area;
  QPainter painter(&surface);
  painter.drawImage(x, y, picture);
  return area;
}
}  // namespace

bool DrawPicture(Form& target, const ImageHolder& holder, int32_t x, int32_t y) {
  if (!holder.hasPicture()) return false;
  Form::Impl& form = target.impl();
  form.EnsureSurface(target.clientWidth(), target.clientHeight());
  const QRect area = DrawOn(form.surface, holder.impl().picture, x, y);
  if (!area.isEmpty()) form.UpdatePixels(area);
  return true;
}

bool DrawPicture(PictureBox& target, const ImageHolder& holder, int32_t x, int32_t y) {
  if (!holder.hasPicture()) return false;
  PictureBox::Impl& box = target.impl();
  const QRect area = DrawOn(box.surface, holder.impl().picture, x, y);
  if (!area.isEmpty() && box.widget) box.widget->update(area);
  return true;
}

}  // namespace brisel::platform
