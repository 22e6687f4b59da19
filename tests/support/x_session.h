// A virtual X server for one test or benchmark, and the few Xlib calls that look at a window as
// a user would: find it by its title, read its pixels, press its close button.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstdint>
#include <optional>
#include <string>

#include "support/child.h"

namespace orva::test {

class VirtualX {
 public:
  // Starts Xvfb with one screen of width x height x 24 on a display number it picks itself
  // (-displayfd), without resets when its last client leaves.
  VirtualX(int width, int height) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
      reason_ = "no pipe";
      return;
    }
    fcntl(ready[1], F_SETFD, 0);  // the server writes its display number here
    server_.emplace(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                 std::to_string(width) + "x" + std::to_string(height) + "x24",
                                 "-noreset", "-nolisten", "tcp"});
    close(ready[1]);
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) {
      reason_ = "Xvfb did not start (is it installed?)";
      return;
    }
    name_ = ":" + number;
    display_ = XOpenDisplay(name_.c_str());
    if (!display_) reason_ = "cannot connect to Xvfb on " + name_;
    // A window that goes away while it is being read is an answer, not a reason to exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~VirtualX() {
    if (display_) XCloseDisplay(display_);
    if (server_ && server_->running()) {
      kill(server_->pid(), SIGTERM);
      server_->Wait(5000);
    }
  }
  VirtualX(const VirtualX&) = delete;
  VirtualX& operator=(const VirtualX&) = delete;

  bool ok() const { return display_ != nullptr; }
  const std::string& reason() const { return reason_; }
  const std::string& name() const { return name_; }  // for DISPLAY
  Display* display() const { return display_; }
  pid_t server_pid() const { return server_ ? server_->pid() : -1; }

  // The top-level window titled `title`, once it is mapped; nullopt after `timeout_ms`.
  std::optional<Window> FindWindow(const std::string& title, int timeout_ms) {
    Window found = 0;
    WaitFor(
        [&] {
          Window root = DefaultRootWindow(display_), parent, *children = nullptr;
          unsigned count = 0;
          if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return false;
          for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a;
            if (Title(children[i]) == title && XGetWindowAttributes(display_, children[i], &a) &&
                a.map_state == IsViewable)
              found = children[i];
          }
          if (children) XFree(children);
          return found != 0;
        },
        timeout_ms);
    if (!found) return std::nullopt;
    return found;
  }

  // The title a window manager shows: _NET_WM_NAME (UTF-8), else WM_NAME.
  std::string Title(Window w) {
    std::string title;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, w, XInternAtom(display_, "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display_, "UTF8_STRING", False), &type, &format,
                           &items, &after, &data) == Success &&
        data && format == 8)
      title.assign(reinterpret_cast<char*>(data), items);
    if (data) XFree(data);
    if (!title.empty()) return title;
    char* name = nullptr;
    if (XFetchName(display_, w, &name) && name) title = name;
    if (name) XFree(name);
    return title;
  }

  // The colour of the window's pixel at (x, y) as 0xRRGGBB; nullopt outside it.
  std::optional<uint32_t> Pixel(Window w, int x, int y) {
    XImage* image = XGetImage(display_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
  }

  // Waits until the pixel at (x, y) has `rgb`.
  bool WaitForPixel(Window w, int x, int y, uint32_t rgb, int timeout_ms) {
    return WaitFor([&] { return Pixel(w, x, y) == rgb; }, timeout_ms);
  }

  // What the window manager sends when the user presses the close button.
  void PressCloseButton(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, w, False, NoEventMask, &e);
    XFlush(display_);
  }

 private:
  std::optional<Child> server_;
  std::string name_, reason_;
  Display* display_ = nullptr;
};

}  // namespace orva::test
