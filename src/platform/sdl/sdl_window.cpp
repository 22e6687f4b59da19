#include "platform/sdl/sdl_window.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/sdl/x_title.h"

namespace orva::platform {

namespace {

// Where the window first appears, from the desktop's top-left corner; a window manager may
// place it elsewhere.
constexpr int kFirstX = 100, kFirstY = 100;

void Complain(const char* what) { std::fprintf(stderr, "orva: %s: %s\n", what, SDL_GetError()); }

}  // namespace

SdlWindow::~SdlWindow() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
}

Size SdlWindow::DesktopSize() {
  Size desktop;
  int displays = SDL_GetNumVideoDisplays();
  for (int i = 0; i < displays; ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    desktop.width += bounds.w;
    desktop.height = std::max(desktop.height, bounds.h);
  }
  return desktop;
}

Size SdlWindow::MainDisplaySize() {
  int display = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
  SDL_Rect bounds;
  if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return {};
  return {bounds.w, bounds.h};
}

bool SdlWindow::OpenWindow(const WindowSpec& spec) {
  scale_ = std::max(spec.scale, 1);
  std::string title(spec.title);
  window_ = SDL_CreateWindow(title.c_str(), kFirstX, kFirstY, spec.width, spec.height,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window_) {
    Complain("cannot open the window");
    return false;
  }
  SetX11Utf8Title(window_, title);
  // No vertical sync: presenting must never hold up the one thread that runs the program and
  // its 5 ms timer.
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    Complain("cannot draw into the window");
    return false;
  }
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer_, &info) == 0) {
    max_texture_width_ = info.max_texture_width;
    max_texture_height_ = info.max_texture_height;
  }
  return true;
}

void SdlWindow::ShowWindow() {
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  Render(0, 0);
}

Rect SdlWindow::WindowFrame() {
  Rect frame;
  if (!window_) return frame;
  SDL_GetWindowPosition(window_, &frame.x, &frame.y);
  SDL_GetWindowSize(window_, &frame.width, &frame.height);
  return frame;
}

void SdlWindow::SetWindowFrame(const Rect& frame) {
  if (!window_) return;
  SDL_SetWindowPosition(window_, frame.x, frame.y);
  SDL_SetWindowSize(window_, std::max(frame.width, 1), std::max(frame.height, 1));
}

Size SdlWindow::ViewSize() {
  if (!window_) return {};
  int w = 0, h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  return {w / scale_, h / scale_};
}

void SdlWindow::SetTitle(std::string_view utf8) {
  if (!window_) return;
  SDL_SetWindowTitle(window_, std::string(utf8).c_str());
  SetX11Utf8Title(window_, utf8);
}

bool SdlWindow::FullScreen() {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

void SdlWindow::SetFullScreen(bool on) {
  if (!window_ || on == FullScreen()) return;
  if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    Complain(on ? "cannot enter full screen" : "cannot leave full screen");
    return;
  }
  // SDL reports the new size (SIZE_CHANGED) but not the change of mode itself.
  Event e;
  e.type = on ? EventType::kFullScreenEntered : EventType::kFullScreenLeft;
  notifications_.push_back(e);
}

bool SdlWindow::Minimized() {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
}

// SDL reports the change itself (MINIMIZED, RESTORED), when the desktop has made it.
void SdlWindow::SetMinimized(bool minimized) {
  if (!window_) return;
  if (minimized)
    SDL_MinimizeWindow(window_);
  else
    SDL_RestoreWindow(window_);
}

bool SdlWindow::TakeNotification(Event& out) {
  if (notifications_.empty()) return false;
  out = std::move(notifications_.front());
  notifications_.pop_front();
  return true;
}

// The renderer lost its textures (a device reset): the next present makes and fills a new one.
void SdlWindow::ContentsLost() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  valid_ = {};
}

// A texture of the screen bitmap's size (as far as the renderer allows), in the bitmap's byte
// order with the fourth byte ignored, so that the view is opaque whatever the alpha.
bool SdlWindow::EnsureTexture(int32_t width, int32_t height) {
  if (max_texture_width_ > 0) width = std::min(width, max_texture_width_);
  if (max_texture_height_ > 0) height = std::min(height, max_texture_height_);
  if (texture_ && width == texture_width_ && height == texture_height_) return true;
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  valid_ = {};
  if (width <= 0 || height <= 0) return false;
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_XBGR8888, SDL_TEXTUREACCESS_STREAMING,
                               width, height);
  if (!texture_) {
    Complain("cannot make the screen texture");
    return false;
  }
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  texture_width_ = width;
  texture_height_ = height;
  return true;
}

void SdlWindow::Present(const Frame& screen, const Rect& area) {
  if (!renderer_) return;
  if (!screen.pixels || !EnsureTexture(screen.width, screen.height)) {
    Render(0, 0);
    return;
  }
  Size view = ViewSize();
  int32_t visible_width = std::min(view.width, texture_width_);
  int32_t visible_height = std::min(view.height, texture_height_);
  SDL_Rect upload;
  if (visible_width > valid_.width || visible_height > valid_.height) {
    upload = {0, 0, visible_width, visible_height};
  } else {
    int32_t left = std::max(area.x, 0), top = std::max(area.y, 0);
    int32_t right =
        static_cast<int32_t>(std::min<int64_t>(int64_t{area.x} + area.width, visible_width));
    int32_t bottom =
        static_cast<int32_t>(std::min<int64_t>(int64_t{area.y} + area.height, visible_height));
    upload = {left, top, right - left, bottom - top};
  }
  if (upload.w > 0 && upload.h > 0) {
    const uint8_t* first = screen.pixels + static_cast<size_t>(upload.y) * screen.row_bytes +
                           static_cast<size_t>(upload.x) * 4;
    SDL_UpdateTexture(texture_, &upload, first, static_cast<int>(screen.row_bytes));
  }
  valid_ = {std::max(visible_width, 0), std::max(visible_height, 0)};
  Render(visible_width, visible_height);
}

// Draws the visible part of the texture from the view's top-left corner, each bitmap pixel a
// block of scale x scale points (more device pixels on a dense display), black beyond it. The
// whole window is drawn every time: after a present the back buffer's contents are undefined.
void SdlWindow::Render(int32_t visible_width, int32_t visible_height) {
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (texture_ && visible_width > 0 && visible_height > 0) {
    int points_w = 1, points_h = 1, pixels_w = 1, pixels_h = 1;
    SDL_GetWindowSize(window_, &points_w, &points_h);
    SDL_GetRendererOutputSize(renderer_, &pixels_w, &pixels_h);
    if (points_w <= 0 || points_h <= 0) points_w = pixels_w, points_h = pixels_h;
    SDL_Rect source{0, 0, visible_width, visible_height};
    SDL_Rect target{0, 0, static_cast<int>(int64_t{visible_width} * scale_ * pixels_w / points_w),
                    static_cast<int>(int64_t{visible_height} * scale_ * pixels_h / points_h)};
    SDL_RenderCopy(renderer_, texture_, &source, &target);
  }
  SDL_RenderPresent(renderer_);
}

}  // namespace orva::platform
