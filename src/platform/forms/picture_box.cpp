// Picture boxes: a container with a background, an optional picture and a
// DC for drawing, either straight into the form's back buffer or, with
// AutoRedraw, into a persistent image in the format of that buffer.
#include <algorithm>
#include <cstring>

#include "platform/forms/forms.h"
#include "platform/forms/internal.h"

namespace forms {

using detail::intersect;

namespace {

// A DIB section in `format` and the view of its rows from the top. 24-bit
// sections are bottom-up, as a loaded picture is; 32-bit ones are top-down,
// as a window surface is.
gdi::HBITMAP createDib(int width, int height, gdi::PixelFormat format, gdi::PixelView* view) {
  const bool wide = format == gdi::PixelFormat::Xrgb32;
  gdi::BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(gdi::BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = wide ? -height : height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = wide ? 32 : 24;
  bi.bmiHeader.biCompression = gdi::BI_RGB;
  void* bits = nullptr;
  const gdi::HBITMAP bmp = gdi::CreateDIBSection(0, &bi, gdi::DIB_RGB_COLORS, &bits, 0, 0);
  if (bmp == 0 || bits == nullptr) return 0;
  const int bpp = gdi::bytesPerPixel(format);
  const std::ptrdiff_t stride = ((static_cast<std::ptrdiff_t>(width) * bpp) + 3) & ~std::ptrdiff_t{3};
  view->top = static_cast<std::uint8_t*>(bits) + (wide ? 0 : (height - 1) * stride);
  view->stride = wide ? stride : -stride;
  view->width = width;
  view->height = height;
  view->format = format;
  return bmp;
}

}  // namespace

struct PictureBox::Impl {
  explicit Impl(PictureBox* b) : box(b) {}

  // A DC of the box with the drawing properties that were last applied.
  struct Dc {
    HDC dc = 0;
    bool applied = false;
    COLORREF fore = 0;
    int fillStyle = 0;
    COLORREF fillColor = 0;
    std::string face;
    float size = 0;
    bool bold = false;
    gdi::HPEN pen = 0;
    gdi::HBRUSH brush = 0;  // 0 while the stock hollow brush is selected
    gdi::HFONT font = 0;
  };

  PictureBox* box;
  Dc view;   // over the form's back buffer
  Dc image;  // the memory DC of the persistent image
  gdi::HBITMAP imageBitmap = 0;
  gdi::PixelView imagePixels;
  bool imageShown = true;  // the image has not changed since the box last painted
  gdi::HBITMAP picture = 0;
  gdi::PixelView picturePixels;
  int printX = 0;  // the print position, pixels of the drawable area
  int printY = 0;

  static void release(Dc& d) {
    // The DC goes first, so nothing is selected when the objects go.
    if (d.dc != 0) gdi::DeleteDC(d.dc);
    if (d.pen != 0) gdi::DeleteObject(d.pen);
    if (d.brush != 0) gdi::DeleteObject(d.brush);
    if (d.font != 0) gdi::DeleteObject(d.font);
    d = Dc{};
  }

  // Brings the DC's pen, brush, font and text colour in line with the box's
  // drawing properties; only what changed is made anew.
  void apply(Dc& d) {
    if (d.dc == 0) return;
    const PictureBox& b = *box;
    if (!d.applied || d.fore != b.ForeColor) {
      const gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, b.ForeColor);
      gdi::SelectObject(d.dc, pen);
      if (d.pen != 0) gdi::DeleteObject(d.pen);
      d.pen = pen;
      gdi::SetTextColor(d.dc, b.ForeColor);
      d.fore = b.ForeColor;
    }
    if (!d.applied || d.fillStyle != b.FillStyle || d.fillColor != b.FillColor) {
      const gdi::HBRUSH brush = b.FillStyle == 0 ? gdi::CreateSolidBrush(b.FillColor) : 0;
      gdi::SelectObject(d.dc, brush != 0 ? brush : gdi::GetStockObject(gdi::NULL_BRUSH));
      if (d.brush != 0) gdi::DeleteObject(d.brush);
      d.brush = brush;
      d.fillStyle = b.FillStyle;
      d.fillColor = b.FillColor;
    }
    if (!d.applied || d.face != b.FontName || d.size != b.Font.size || d.bold != b.Font.bold) {
      const gdi::HFONT font = detail::createFont(b.FontName, b.Font.size, b.Font.bold);
      if (font != 0) gdi::SelectObject(d.dc, font);
      if (d.font != 0) gdi::DeleteObject(d.font);
      d.font = font;
      d.face = b.FontName;
      d.size = b.Font.size;
      d.bold = b.Font.bold;
    }
    d.applied = true;
  }

  Form::Impl* formImpl() const {
    Form* f = box->form();
    return (f != nullptr && f->IsLoaded()) ? f->impl_.get() : nullptr;
  }

  // Points the direct DC at the box's part of the back buffer, clipped to
  // what of the box can show (nothing while it is hidden).
  void aimView() {
    if (view.dc == 0) return;
    Form::Impl* im = formImpl();
    const gdi::PixelView pixels = im != nullptr ? im->view() : gdi::PixelView{};
    if (pixels.top == nullptr) {
      release(view);
      return;
    }
    const display::Rect c = box->clientPixelRect();
    gdi::SetViewDC(view.dc, pixels, gdi::POINT{c.x, c.y}, detail::toRECT(box->visibleClientRect()));
  }

  HDC viewDc() {
    if (view.dc == 0) {
      Form::Impl* im = formImpl();
      if (im == nullptr) return 0;
      const display::Rect c = box->clientPixelRect();
      view.dc = gdi::CreateViewDC(im->view(), gdi::POINT{c.x, c.y},
                                  detail::toRECT(box->visibleClientRect()));
      if (view.dc == 0) return 0;
      gdi::SetDrawHook(view.dc, &Form::Impl::presentHook, im);
      // Text drawn on a picture box leaves the background as it is.
      gdi::SetBkMode(view.dc, gdi::TRANSPARENT);
    }
    apply(view);
    return view.dc;
  }

  static void imageHook(void* context) {
    // Drawing into the image shows when the box next paints; one
    // invalidation is enough until then.
    auto* self = static_cast<Impl*>(context);
    if (!self->imageShown) return;
    self->imageShown = false;
    self->box->invalidate();
  }

  void drawPicture(HDC dc, int x, int y) const {
    if (picture == 0) return;
    const HDC src = gdi::CreateViewDC(
        picturePixels, gdi::POINT{0, 0},
        gdi::RECT{0, 0, picturePixels.width, picturePixels.height});
    if (src == 0) return;
    gdi::BitBlt(dc, x, y, picturePixels.width, picturePixels.height, src, 0, 0, gdi::SRCCOPY);
    gdi::DeleteDC(src);
  }

  void resetImage() {
    if (image.dc == 0) return;
    detail::fillRect(image.dc, 0, 0, imagePixels.width, imagePixels.height, box->BackColor);
    drawPicture(image.dc, 0, 0);
  }

  // Makes the persistent image the size of the drawable area (a new image
  // starts as the background with the picture). Like a bitmap compatible
  // with the screen, it has the pixel format of the form's back buffer, so
  // that copying it to the form, or to a window surface, converts nothing;
  // the picture is converted into it once, here.
  bool ensureImage() {
    const display::Rect c = box->clientPixelRect();
    const int w = std::max(1, c.width);
    const int h = std::max(1, c.height);
    Form::Impl* im = formImpl();
    const gdi::PixelView surface = im != nullptr ? im->view() : gdi::PixelView{};
    const gdi::PixelFormat format =
        surface.top != nullptr ? surface.format : gdi::PixelFormat::Xrgb32;
    if (image.dc != 0 && imagePixels.width == w && imagePixels.height == h &&
        imagePixels.format == format)
      return true;
    gdi::PixelView pixels;
    const gdi::HBITMAP bmp = createDib(w, h, format, &pixels);
    if (bmp == 0) return false;
    if (image.dc == 0) {
      image.dc = gdi::CreateCompatibleDC(0);
      if (image.dc == 0) {
        gdi::DeleteObject(bmp);
        return false;
      }
      gdi::SetBkMode(image.dc, gdi::TRANSPARENT);
      gdi::SetDrawHook(image.dc, &Impl::imageHook, this);
    }
    gdi::SelectObject(image.dc, bmp);
    if (imageBitmap != 0) gdi::DeleteObject(imageBitmap);
    imageBitmap = bmp;
    imagePixels = pixels;
    resetImage();
    return true;
  }

  void releaseImage() {
    release(image);
    if (imageBitmap != 0) gdi::DeleteObject(imageBitmap);
    imageBitmap = 0;
    imagePixels = gdi::PixelView{};
  }
};

PictureBox::PictureBox(Container* c, std::string name, float left, float top, float width,
                       float height, int scaleMode)
    : Control(c, std::move(name), left, top, width, height),
      impl_(std::make_unique<Impl>(this)),
      scaleMode_(scaleMode == kPixels ? kPixels : kTwips) {}

PictureBox::~PictureBox() {
  // Children that outlive the box are cut loose: their container is going.
  std::vector<Control*> kids = children_;
  Form* f = form();
  Form::Impl* im = f != nullptr ? f->impl_.get() : nullptr;
  // The form forgets them and everything inside them (for focus and tab
  // order), since they can no longer reach it.
  std::function<void(Control*)> forgetAll = [&](Control* c) {
    if (im != nullptr) im->forget(c);
    if (auto* b = dynamic_cast<PictureBox*>(c)) {
      for (Control* k : b->children_) forgetAll(k);
    }
  };
  for (Control* k : kids) {
    forgetAll(k);
    detach(k);
  }
  children_.clear();
  Impl::release(impl_->view);
  impl_->releaseImage();
  if (impl_->picture != 0) gdi::DeleteObject(impl_->picture);
}

display::Rect PictureBox::clientPixelRect() const {
  const display::Rect r = pixelRect();
  const int b = BorderStyle == 1 ? 2 : 0;
  return display::Rect{r.x + b, r.y + b, std::max(0, r.width - 2 * b), std::max(0, r.height - 2 * b)};
}

display::Rect PictureBox::visibleClientRect() const { return intersect(clientPixelRect(), visibleRect()); }

float PictureBox::ScaleWidth() const {
  return static_cast<float>(clientPixelRect().width) * kTwipsPerPixel / unitsToTwips();
}

float PictureBox::ScaleHeight() const {
  return static_cast<float>(clientPixelRect().height) * kTwipsPerPixel / unitsToTwips();
}

HDC PictureBox::hDC() {
  if (impl_->formImpl() == nullptr) return 0;
  if (autoRedraw_) {
    if (!impl_->ensureImage()) return 0;
    impl_->apply(impl_->image);
    return impl_->image.dc;
  }
  return impl_->viewDc();
}

void PictureBox::Cls() {
  impl_->printX = 0;
  impl_->printY = 0;
  Form::Impl* im = impl_->formImpl();
  if (im == nullptr) return;
  if (autoRedraw_) {
    if (impl_->ensureImage()) impl_->resetImage();
    return;
  }
  // Without a persistent image the clearing happens on the screen at once:
  // the box's area is painted afresh (its children over it) and shown.
  const display::Rect r = visibleClientRect();
  if (detail::isEmpty(r)) return;
  im->paintRect(r);
  // What was waiting to be repainted inside the box (a label just hidden,
  // say) has been painted now; repainting it later would wipe drawing done
  // after the Cls.
  im->validate(r);
  im->presentNow();
}

void PictureBox::setAutoRedraw(bool on) {
  if (on == autoRedraw_) return;
  autoRedraw_ = on;
  if (on) {
    if (impl_->formImpl() != nullptr) impl_->ensureImage();
    invalidate();
  } else {
    // What the image showed stays on the screen until the box repaints.
    impl_->releaseImage();
  }
}

void PictureBox::Print() {
  impl_->printX = 0;
  impl_->printY += detail::lineHeight(FontName, Font.size, Font.bold);
}

void PictureBox::Print(const std::string& text) {
  if (!text.empty()) {
    if (HDC dc = hDC()) {
      gdi::TextOutA(dc, impl_->printX, impl_->printY, text.data(), static_cast<int>(text.size()));
    }
  }
  Print();
}

float PictureBox::CurrentX() const {
  return static_cast<float>(impl_->printX) * kTwipsPerPixel / unitsToTwips();
}

float PictureBox::CurrentY() const {
  return static_cast<float>(impl_->printY) * kTwipsPerPixel / unitsToTwips();
}

void PictureBox::SetFocus() { takeFocus(); }

bool PictureBox::hasFocus() const { return hasFocusImpl(); }

void PictureBox::setPicture(const gdi::PixelView& source) {
  if (impl_->picture != 0) gdi::DeleteObject(impl_->picture);
  impl_->picture = 0;
  impl_->picturePixels = gdi::PixelView{};
  if (source.top != nullptr && source.width > 0 && source.height > 0) {
    gdi::PixelView pixels;
    const gdi::HBITMAP bmp =
        createDib(source.width, source.height, gdi::PixelFormat::Bgr24, &pixels);
    if (bmp != 0) {
      for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* src = source.top + static_cast<std::ptrdiff_t>(y) * source.stride;
        std::uint8_t* dst = pixels.top + static_cast<std::ptrdiff_t>(y) * pixels.stride;
        if (source.format == gdi::PixelFormat::Bgr24) {
          std::memcpy(dst, src, static_cast<std::size_t>(source.width) * 3);
        } else {
          for (int x = 0; x < source.width; ++x) std::memcpy(dst + x * 3, src + x * 4, 3);
        }
      }
      impl_->picture = bmp;
      impl_->picturePixels = pixels;
    }
  }
  if (autoRedraw_) impl_->resetImage();
  invalidate();
}

gdi::HBITMAP PictureBox::pictureHandle() const { return impl_->picture; }

gdi::PixelView PictureBox::image() const {
  return autoRedraw_ && impl_->image.dc != 0 ? impl_->imagePixels : gdi::PixelView{};
}

void PictureBox::paint(HDC dc, int width, int height) {
  const int b = BorderStyle == 1 ? 2 : 0;
  if (autoRedraw_ && impl_->image.dc != 0) {
    gdi::BitBlt(dc, b, b, impl_->imagePixels.width, impl_->imagePixels.height, impl_->image.dc, 0,
                0, gdi::SRCCOPY);
    impl_->imageShown = true;
  } else {
    detail::fillRect(dc, b, b, width - b, height - b, BackColor);
    impl_->drawPicture(dc, b, b);
  }
  if (b != 0) detail::sunkenEdge(dc, 0, 0, width, height);
}

void PictureBox::placementChanged() {
  impl_->aimView();
  if (autoRedraw_ && impl_->image.dc != 0) {
    if (impl_->formImpl() == nullptr) {
      impl_->releaseImage();
    } else {
      impl_->ensureImage();
    }
  }
}

}  // namespace forms
