// Another application's side of the X clipboard, for window tests: it puts text on the
// CLIPBOARD selection (and serves it until someone else takes the selection) and reads what the
// selection's owner holds. Each side has its own connection, so the serving thread never shares
// one with the test.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace orva::test {

class ClipboardPeer {
 public:
  explicit ClipboardPeer(const std::string& display) {
    reader_ = XOpenDisplay(display.c_str());
    owner_ = XOpenDisplay(display.c_str());
    if (!reader_ || !owner_) return;
    reader_window_ = MakeWindow(reader_);
    owner_window_ = MakeWindow(owner_);
  }
  ~ClipboardPeer() {
    stop_ = true;
    if (server_.joinable()) server_.join();
    if (reader_) XCloseDisplay(reader_);
    if (owner_) XCloseDisplay(owner_);
  }
  ClipboardPeer(const ClipboardPeer&) = delete;
  ClipboardPeer& operator=(const ClipboardPeer&) = delete;

  bool ok() const { return reader_ && owner_; }

  // Takes the clipboard with `text`; true when the server made us its owner.
  bool Offer(const std::string& text) {
    if (server_.joinable()) return false;  // one offer per peer
    text_ = text;
    Atom clipboard = XInternAtom(owner_, "CLIPBOARD", False);
    XSetSelectionOwner(owner_, clipboard, owner_window_, CurrentTime);
    bool owned = XGetSelectionOwner(owner_, clipboard) == owner_window_;
    if (owned) server_ = std::thread([this] { Serve(); });
    return owned;
  }

  // The clipboard's text as UTF-8; nullopt when its owner does not answer in `timeout_ms`.
  std::optional<std::string> Read(int timeout_ms) {
    Atom clipboard = XInternAtom(reader_, "CLIPBOARD", False);
    Atom utf8 = XInternAtom(reader_, "UTF8_STRING", False);
    Atom into = XInternAtom(reader_, "ORVA_TEST_PASTE", False);
    XConvertSelection(reader_, clipboard, utf8, into, reader_window_, CurrentTime);
    XFlush(reader_);
    XEvent e;
    if (!NextEvent(reader_, SelectionNotify, e, timeout_ms) || e.xselection.property == None)
      return std::nullopt;
    Atom type;
    int format;
    unsigned long items, left;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(reader_, reader_window_, into, 0, 1 << 20, True, AnyPropertyType, &type,
                           &format, &items, &left, &data) != Success)
      return std::nullopt;
    std::string text(reinterpret_cast<char*>(data), data ? items : 0);
    if (data) XFree(data);
    return text;
  }

 private:
  static Window MakeWindow(Display* d) {
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, w, PropertyChangeMask);
    return w;
  }

  // Waits for the next event of `type` on `d`, skipping others.
  static bool NextEvent(Display* d, int type, XEvent& e, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      while (XPending(d)) {
        XNextEvent(d, &e);
        if (e.type == type) return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd p{ConnectionNumber(d), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left.count()));
    }
  }

  // Answers requests for the text (as UTF8_STRING or STRING, or the list of targets) until the
  // peer goes or another client takes the clipboard.
  void Serve() {
    Atom utf8 = XInternAtom(owner_, "UTF8_STRING", False);
    Atom targets = XInternAtom(owner_, "TARGETS", False);
    while (!stop_) {
      XEvent e;
      if (!NextEvent(owner_, SelectionRequest, e, 50)) continue;
      const XSelectionRequestEvent& r = e.xselectionrequest;
      XSelectionEvent answer{};
      answer.type = SelectionNotify;
      answer.requestor = r.requestor;
      answer.selection = r.selection;
      answer.target = r.target;
      answer.time = r.time;
      answer.property = r.property == None ? r.target : r.property;
      if (r.target == utf8 || r.target == XA_STRING) {
        XChangeProperty(owner_, r.requestor, answer.property, r.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text_.data()),
                        static_cast<int>(text_.size()));
      } else if (r.target == targets) {
        Atom offered[] = {targets, utf8, XA_STRING};
        XChangeProperty(owner_, r.requestor, answer.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 3);
      } else {
        answer.property = None;
      }
      XSendEvent(owner_, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
      XFlush(owner_);
    }
  }

  Display* reader_ = nullptr;
  Display* owner_ = nullptr;
  Window reader_window_ = 0, owner_window_ = 0;
  std::string text_;
  std::atomic<bool> stop_ = false;
  std::thread server_;
};

}  // namespace orva::test
