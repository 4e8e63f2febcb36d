#include "platform/tiff_memory.h"

#include <algorithm>
#include <cstring>

namespace colorsplit {

namespace {

TiffMemory& Of(thandle_t handle) {
    return *static_cast<TiffMemory*>(handle);
}

tsize_t Read(thandle_t handle, tdata_t out, tsize_t size) {
    TiffMemory& m = Of(handle);
    const auto length = static_cast<toff_t>(m.bytes.size());
    const toff_t n = std::min<toff_t>(static_cast<toff_t>(size), length - std::min(m.at, length));
    std::memcpy(out, m.bytes.constData() + m.at, static_cast<size_t>(n));
    m.at += n;
    return static_cast<tsize_t>(n);
}

tsize_t Write(thandle_t handle, tdata_t data, tsize_t size) {
    TiffMemory& m = Of(handle);
    const toff_t end = m.at + static_cast<toff_t>(size);
    if (end > static_cast<toff_t>(m.bytes.size()))
        m.bytes.resize(static_cast<qsizetype>(end));
    std::memcpy(m.bytes.data() + m.at, data, static_cast<size_t>(size));
    m.at = end;
    return size;
}

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    TiffMemory& m = Of(handle);
    const toff_t base = whence == SEEK_CUR   ? m.at
                        : whence == SEEK_END ? static_cast<toff_t>(m.bytes.size())
                                             : 0;
    m.at = base + offset;
    return m.at;
}

int Close(thandle_t) {
    return 0;
}

toff_t Size(thandle_t handle) {
    return static_cast<toff_t>(Of(handle).bytes.size());
}

// Reading maps the bytes themselves: libtiff then decodes strips and tiles where they lie
// instead of copying each into a buffer of its own, however large.
int Map(thandle_t handle, tdata_t* base, toff_t* size) {
    const QByteArray& bytes = Of(handle).bytes;
    *base = const_cast<char*>(bytes.constData());
    *size = static_cast<toff_t>(bytes.size());
    return 1;
}

void Unmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

Tiff OpenTiff(TiffMemory& memory, const char* mode, TIFFOpenOptions* options) {
    const bool reading = mode[0] == 'r';
    return Tiff(TIFFClientOpenExt("colorsplit", mode, &memory, Read, Write, Seek, Close, Size,
                                  reading ? Map : nullptr, reading ? Unmap : nullptr, options));
}

}  // namespace colorsplit
