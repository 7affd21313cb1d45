// Bounds-checked little-endian reads from the model buffer.
#pragma once

#include <bit>
#include <cstdint>

// Every read of the model buffer goes through this reader. A read that would
// touch a byte outside [0, Size) returns 0 (or nullptr for Bytes), so no caller
// can read outside the buffer whatever offsets the file stores. Values are
// assembled byte by byte, independent of the host's byte order; offsets are
// 64-bit so that "stored + 64" or "start + 48 * n" never overflow.
class ByteReader {
public:
    ByteReader(const unsigned char* Data, int Size)
        : Data_(Data), Size_(Data != nullptr && Size > 0 ? Size : 0) {}

    int Size() const { return static_cast<int>(Size_); }

    // True when the Length bytes from Offset all lie inside the buffer.
    bool Has(int64_t Offset, int64_t Length) const {
        return Offset >= 0 && Length >= 0 && Length <= Size_ && Offset <= Size_ - Length;
    }

    // Number of whole items of ItemSize bytes, at most Count, that lie inside
    // the buffer from Offset on; 0 for a negative Count or an Offset outside.
    int64_t Fit(int64_t Offset, int64_t Count, int64_t ItemSize) const {
        if (Count <= 0 || ItemSize <= 0 || Offset < 0 || Offset >= Size_) return 0;
        const int64_t Room = (Size_ - Offset) / ItemSize;
        return Count < Room ? Count : Room;
    }

    // Pointer to Length bytes at Offset, or nullptr when they do not all fit.
    const unsigned char* Bytes(int64_t Offset, int64_t Length) const {
        return Has(Offset, Length) ? Data_ + Offset : nullptr;
    }

    uint8_t U8(int64_t Offset) const { return Has(Offset, 1) ? Data_[Offset] : 0; }
    int16_t I16(int64_t Offset) const { return static_cast<int16_t>(U16(Offset)); }
    int32_t I32(int64_t Offset) const { return static_cast<int32_t>(U32(Offset)); }
    float F32(int64_t Offset) const { return std::bit_cast<float>(U32(Offset)); }

    uint16_t U16(int64_t Offset) const {
        if (!Has(Offset, 2)) return 0;
        const unsigned char* P = Data_ + Offset;
        return static_cast<uint16_t>(P[0] | (P[1] << 8));
    }

    uint32_t U32(int64_t Offset) const {
        if (!Has(Offset, 4)) return 0;
        return U32Unchecked(Offset);
    }

    // For loops that have already proven their whole range with Has().
    uint32_t U32Unchecked(int64_t Offset) const {
        const unsigned char* P = Data_ + Offset;
        return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) |
               (static_cast<uint32_t>(P[2]) << 16) | (static_cast<uint32_t>(P[3]) << 24);
    }

private:
    const unsigned char* Data_;
    int64_t Size_;
};
