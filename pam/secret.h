// Buffers for secrets (key material, identity texts, entered codes): wiped
// before their memory is released.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace otpcli::pam {

// Overwrites the bytes with zeros in a way the compiler does not drop.
void wipe(void* bytes, std::size_t size) noexcept;

// A byte string of fixed capacity, so that appending never reallocates and
// leaves no unwiped copy behind; wiped when destroyed or given a new capacity.
class SecretBytes {
  public:
    SecretBytes() = default;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes() { clear(); }

    // Wipes the content and makes room for exactly capacity bytes.
    void reset(std::size_t capacity);
    std::size_t capacity() const { return bytes_.capacity(); }
    // Appends; false (and nothing appended) when the capacity would be exceeded.
    bool append(std::string_view bytes);
    std::string_view view() const { return bytes_; }
    void clear() noexcept;

  private:
    std::string bytes_;
};

}  // namespace otpcli::pam
