// Windows: a COM interface held by the platform layer, released when its holder goes.
#pragma once

namespace varo::win32 {

// Releases a COM interface when it goes.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  // Takes over one reference the caller holds.
  explicit ComRef(Interface* taken) : pointer_(taken) {}
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  // Where a call that hands out the interface puts it.
  Interface** Out() { return &pointer_; }
  void** OutAsVoid() { return reinterpret_cast<void**>(&pointer_); }
  Interface* Get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace varo::win32
