// A request's text argument as its caller passed it: UTF-16 units from the
// class, UTF-8 bytes from the C interface. Either way the request converts it to
// code page 949 itself.
#pragma once

namespace otpcli {

class TextArgument {
  public:
    // The class's arguments pass as they are.
    TextArgument(const unsigned short* utf16) noexcept : utf16_(utf16) {}  // NOLINT

    static TextArgument fromUtf8(const char* utf8) noexcept {
        TextArgument argument(nullptr);
        argument.utf8_ = utf8;
        return argument;
    }

    bool isNull() const noexcept { return utf16_ == nullptr && utf8_ == nullptr; }
    // The UTF-8 text, or null for a UTF-16 (or null) argument.
    const char* utf8() const noexcept { return utf8_; }
    const unsigned short* utf16() const noexcept { return utf16_; }

  private:
    const unsigned short* utf16_;
    const char* utf8_ = nullptr;
};

// The object's resident registration number check, handed to the request code
// without a copy of the object (a reference to any callable that outlives the
// request).
class NumberCheck {
  public:
    template <typename Check>
    explicit NumberCheck(const Check& check) noexcept
        : check_(&check), call_([](const void* c, const char* id) noexcept {
              return (*static_cast<const Check*>(c))(id);
          }) {}

    bool operator()(const char* id) const noexcept { return call_(check_, id); }

  private:
    const void* check_;
    bool (*call_)(const void*, const char*) noexcept;
};

}  // namespace otpcli
