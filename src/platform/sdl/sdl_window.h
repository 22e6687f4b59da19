// The display group on SDL: the desktop's displays, the one window and the presentation of the
// screen bitmap through a streaming texture.
#pragma once

#include <SDL.h>

#include <deque>

#include "platform/platform.h"

namespace orva::platform {

class SdlWindow final : public Display {
 public:
  SdlWindow() = default;
  ~SdlWindow() override;
  SdlWindow(const SdlWindow&) = delete;
  SdlWindow& operator=(const SdlWindow&) = delete;

  Size DesktopSize() override;
  Size MainDisplaySize() override;
  bool OpenWindow(const WindowSpec&) override;
  void ShowWindow() override;
  Rect WindowFrame() override;
  void SetWindowFrame(const Rect&) override;
  Size ViewSize() override;
  void SetTitle(std::string_view utf8) override;
  bool FullScreen() override;
  void SetFullScreen(bool on) override;
  bool Minimized() override;
  void SetMinimized(bool minimized) override;
  void Present(const Frame& screen, const Rect& area) override;

  // For the events group: the window (null before OpenWindow), its zoom, the notifications the
  // window itself makes (SDL has none for full screen), and the loss of the texture's contents.
  SDL_Window* window() const { return window_; }
  int32_t scale() const { return scale_; }
  bool HasNotification() const { return !notifications_.empty(); }
  bool TakeNotification(Event& out);
  void ContentsLost();

 private:
  bool EnsureTexture(int32_t width, int32_t height);
  void Render(int32_t visible_width, int32_t visible_height);

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int32_t texture_width_ = 0, texture_height_ = 0;
  int32_t max_texture_width_ = 0, max_texture_height_ = 0;
  int32_t scale_ = 1;
  // The top-left part of the texture that holds the screen bitmap as it is now. Only what the
  // view shows is uploaded, so a view that grows uploads its new part once.
  Size valid_;
  std::deque<Event> notifications_;
};

}  // namespace orva::platform
