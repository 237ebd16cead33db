// The default theme's decompressor on any stream with any declared size: the first four bytes
// are the size (little-endian, signed), the rest is the stream. The output buffer is exactly
// the declared size, so a write past it is caught.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "theme/default_theme.h"

namespace {

// Larger sizes are folded into this range: the buffer must exist, and a stream of a few
// kilobytes cannot fill much more anyway.
constexpr int32_t MAX_SIZE = 1 << 22;

}  // namespace

// With RAVLOX_FUZZ_SEEDS=DIR set, writes the embedded theme's 17 streams there as seeds and ends.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *dir = getenv("RAVLOX_FUZZ_SEEDS");
    if (dir == nullptr) return 0;
    for (int32_t k = 0; k < THEME_DEFAULT_ENTRY_COUNT; ++k) {
        tThemeDefaultEntry e;
        if (theme_default_entry(k, &e) != 0) continue;
        std::vector<uint8_t> seed(4 + static_cast<size_t>(e.packed));
        for (int i = 0; i < 4; ++i) seed[i] = static_cast<uint8_t>(static_cast<uint32_t>(e.size) >> (8 * i));
        memcpy(seed.data() + 4, theme_default_streams + e.offset, static_cast<size_t>(e.packed));
        fuzz::write_file(std::string(dir) + "/" + e.name, seed.data(), seed.size());
    }
    exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= static_cast<uint32_t>(data[i]) << (8 * i);
    int32_t declared = static_cast<int32_t>(raw);
    if (declared > MAX_SIZE) declared %= MAX_SIZE + 1;
    std::vector<unsigned char> out(declared > 0 ? static_cast<size_t>(declared) : 0);
    const int32_t produced = theme_lz_decompress_bounded(out.data(), data + 4, static_cast<int32_t>(size - 4),
                                                         declared);
    FUZZ_CHECK(produced >= 0 && produced <= (declared > 0 ? declared : 0), "%d bytes produced for %d",
               produced, declared);
    return 0;
}
