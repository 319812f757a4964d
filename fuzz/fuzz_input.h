#pragma once
// What the fuzz targets share: a check that stops the run when a property
// fails, and the fuzzer's bytes read as typed pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// Aborts, which the fuzzer reports with the input that got here.
inline void Require(bool condition) {
    if (!condition) std::abort();
}

// The fuzzer's bytes, read front to back; zeros once they run out.
class FuzzBytes {
  public:
    FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    template <class T>
    T Raw() {
        unsigned char buf[sizeof(T)] = {};
        for (unsigned char& b : buf)
            b = Byte();
        T value;
        std::memcpy(&value, buf, sizeof(T));
        return value;
    }
    // A text of fewer than `limit` bytes, any bytes.
    std::string Text(size_t limit) {
        std::string s(Byte() % limit, '\0');
        for (char& c : s)
            c = static_cast<char>(Byte());
        return s;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
