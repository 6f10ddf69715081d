#include "editor/x11/X11Presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "editor/x11/X11Connection.h"

X11Presenter::X11Presenter(X11Connection& connection, Drawable target, Visual* visual, int depth,
                           int width, int height)
    : connection_(connection), target_(target), width_(width), height_(height) {
  ::Display* d = connection_.Display();
  if (!d || width < 1 || height < 1) return;
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(d, target, GCGraphicsExposures, &values);
  if (!connection_.SyncClean()) return;  // no usable target
  if (!(connection_.HasShm() && CreateShmImage(visual, depth))) CreatePlainImage(visual, depth);
}

X11Presenter::~X11Presenter() {
  ::Display* d = connection_.Display();
  if (shm_) ReleaseShmImage();
  if (image_) {
    image_->data = nullptr;  // the surface's memory, not ours
    XDestroyImage(image_);
  }
  if (gc_ && !connection_.Lost()) XFreeGC(d, gc_);
}

bool X11Presenter::CreateShmImage(Visual* visual, int depth) {
  ::Display* d = connection_.Display();
  XImage* image = XShmCreateImage(d, visual, unsigned(depth), ZPixmap, nullptr, &segment_,
                                  unsigned(width_), unsigned(height_));
  if (!image) return false;
  // Surface words are copied as they are: the image must hold them so.
  const bool native = image->byte_order == (std::endian::native == std::endian::little ? LSBFirst
                                                                                       : MSBFirst);
  if (image->bits_per_pixel != 32 || !native) {
    XDestroyImage(image);
    return false;
  }
  const size_t bytes = size_t(image->bytes_per_line) * size_t(image->height);
  segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (segment_.shmid < 0) {
    XDestroyImage(image);
    return false;
  }
  void* address = shmat(segment_.shmid, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return false;
  }
  segment_.shmaddr = image->data = static_cast<char*>(address);
  segment_.readOnly = True;
  const bool attached = XShmAttach(d, &segment_) && connection_.SyncClean();
  // Marked for removal now, so the segment goes away with the last
  // detach whatever happens to this process.
  shmctl(segment_.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    image->data = nullptr;
    XDestroyImage(image);
    segment_ = {};
    return false;
  }
  image_ = image;
  shm_ = true;
  return true;
}

void X11Presenter::ReleaseShmImage() {
  // A lost connection takes no more requests (Xlib would wait for it
  // forever); the server has let go of the segment with the client.
  if (!connection_.Lost()) {
    XShmDetach(connection_.Display(), &segment_);
    connection_.SyncClean();
  }
  shmdt(segment_.shmaddr);
  segment_ = {};
  shm_ = false;
}

void X11Presenter::CreatePlainImage(Visual* visual, int depth) {
  // The data pointer and row length are set per request from the surface.
  image_ = XCreateImage(connection_.Display(), visual, unsigned(depth), ZPixmap, 0, nullptr,
                        unsigned(width_), unsigned(height_), 32, 0);
  if (image_ && image_->bits_per_pixel != 32) {
    XDestroyImage(image_);
    image_ = nullptr;
  }
  // Our words in our byte order; the library converts for the server.
  if (image_) image_->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
}

bool X11Presenter::Present(const Pixel* bits, int rowSpan, const IRect& area) {
  if (!image_ || !bits || rowSpan < width_) return false;
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min(area.right, width_), bottom = std::min(area.bottom, height_);
  if (left >= right || top >= bottom) return false;
  const unsigned w = unsigned(right - left), h = unsigned(bottom - top);
  ::Display* d = connection_.Display();
  if (shm_) {
    const int stride = image_->bytes_per_line / 4;
    Pixel* dst = reinterpret_cast<Pixel*>(image_->data);
    for (int y = top; y < bottom; ++y)
      std::memcpy(dst + size_t(y) * size_t(stride) + size_t(left),
                  bits + size_t(y) * size_t(rowSpan) + size_t(left), w * sizeof(Pixel));
    XShmPutImage(d, target_, gc_, image_, left, top, left, top, w, h, False);
  } else {
    image_->data = reinterpret_cast<char*>(const_cast<Pixel*>(bits));
    image_->bytes_per_line = rowSpan * 4;
    XPutImage(d, target_, gc_, image_, left, top, left, top, w, h);
    image_->data = nullptr;
  }
  // Done when the server has drawn it: the shared segment can be written
  // again, and whoever looks next sees the new pixels.
  XSync(d, False);
  return true;
}
