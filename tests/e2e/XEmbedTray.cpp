// XEmbedTray: the manager side of the system tray protocol, as far as a dock request.
#include "e2e/XEmbedTray.h"

#include <stdexcept>

namespace nubrel::testing {
namespace {

constexpr long kRequestDock = 0;  // SYSTEM_TRAY_REQUEST_DOCK

// An icon's window may be destroyed at any moment; asking about it then is an error that Xlib
// would otherwise answer by ending the test process.
int ignoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

XEmbedTray::XEmbedTray(const std::string& display)
    : display_(XOpenDisplay(display.c_str())), window_(0), opcode_(0) {
  if (display_ == nullptr) {
    throw std::runtime_error("the tray cannot open display " + display);
  }
  XSetErrorHandler(ignoreErrors);
  const Window root = DefaultRootWindow(display_);
  window_ = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
  opcode_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
  const Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
  XSetSelectionOwner(display_, selection, window_, CurrentTime);
  // Icons that started before the tray wait for this announcement on the root window.
  XEvent manager{};
  manager.xclient.type = ClientMessage;
  manager.xclient.window = root;
  manager.xclient.message_type = XInternAtom(display_, "MANAGER", False);
  manager.xclient.format = 32;
  manager.xclient.data.l[0] = CurrentTime;
  manager.xclient.data.l[1] = static_cast<long>(selection);
  manager.xclient.data.l[2] = static_cast<long>(window_);
  XSendEvent(display_, root, False, StructureNotifyMask, &manager);
  XFlush(display_);
}

XEmbedTray::~XEmbedTray() {
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

const std::vector<unsigned long>& XEmbedTray::dockRequests() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && event.xclient.message_type == opcode_ &&
        event.xclient.data.l[1] == kRequestDock) {
      dockRequests_.push_back(static_cast<unsigned long>(event.xclient.data.l[2]));
    }
  }
  return dockRequests_;
}

bool XEmbedTray::showsAnIcon() {
  if (dockRequests().empty()) {
    return false;
  }
  const Window window = dockRequests_.back();
  const Atom info = XInternAtom(display_, "_XEMBED_INFO", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  bool mapped = false;
  if (XGetWindowProperty(display_, window, info, 0, 2, False, info, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    // version, flags; XEMBED_MAPPED is bit 0 of the flags.
    mapped = format == 32 && count == 2 && (reinterpret_cast<long*>(data)[1] & 1) != 0;
    XFree(data);
  }
  return mapped;
}

}  // namespace nubrel::testing
