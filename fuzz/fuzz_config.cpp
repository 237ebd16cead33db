// The settings store: a file's bytes are read into a store, every getter asks for every key
// (the program's own and those of the file), and what the store wrote reads back the same.
#include <cstring>

#include "config/config.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr const char *FILE_NAME = "fuzz.config";

// Every key the program's modules read, with a default each, in the forms they use.
struct tKey {
    const char *key;
    char form;  // i: integer, b: TRUE/FALSE, o: ON/OFF
    int32_t value;
};
constexpr tKey PROGRAM_KEYS[] = {
    {"volume", 'i', 100},     {"balance", 'i', 0},    {"scalefactor", 'i', 1},
    {"showplaylist", 'b', 0}, {"showequalizer", 'b', 0}, {"clutterbar", 'o', 1},
    {"shuffle", 'o', 0},      {"repeat", 'o', 0},     {"countdown", 'o', 0},
    {"visualizer", 'i', 3},   {"bar00", 'i', 0},      {"bar05", 'i', 0},
    {"bar10", 'i', 0},        {"equalizer", 'o', 0},  {"automatic", 'o', 0},
    {"rows", 'i', 2},         {"columns", 'i', 11},   {"showfull", 'i', 1},
    {"page", 'i', 0},
};

void check_store(const tHandleConfig &c) {
    FUZZ_CHECK(c.count >= 0 && c.count <= CONFIG_SLOTS, "count %d", c.count);
    for (int i = 0; i < CONFIG_SLOTS; ++i) {
        FUZZ_CHECK(memchr(c.keys[i], '\0', CONFIG_KEY_SIZE) != nullptr, "key %d unterminated", i);
        FUZZ_CHECK(memchr(c.values[i], '\0', CONFIG_VALUE_SIZE) != nullptr, "value %d unterminated", i);
    }
}

void check_same(const tHandleConfig &a, const tHandleConfig &b) {
    FUZZ_CHECK(a.count == b.count, "%d slots written, %d read back", a.count, b.count);
    for (int i = 0; i < a.count; ++i) {
        FUZZ_CHECK(strcmp(a.keys[i], b.keys[i]) == 0, "key %d [%s] read back as [%s]", i, a.keys[i], b.keys[i]);
        FUZZ_CHECK(strcmp(a.values[i], b.values[i]) == 0, "value %d [%s] read back as [%s]", i,
                   a.values[i], b.values[i]);
    }
}

void get_all(tHandleConfig *c, const char *key, int32_t value) {
    int32_t out = 0;
    char text[CONFIG_VALUE_SIZE];
    const int32_t r1 = config_get_int(c, key, &out, value);
    FUZZ_CHECK(r1 == 0 || (r1 == -1 && out == value), "config_get_int [%s]", key);
    config_get_string(c, key, text, "default");
    FUZZ_CHECK(memchr(text, '\0', sizeof text) != nullptr, "config_get_string [%s] unterminated", key);
    const int32_t r2 = config_get_bool(c, key, &out, value);
    FUZZ_CHECK(r2 == -1 ? out == value : (out == 0 || out == 1), "config_get_bool [%s]", key);
    const int32_t r3 = config_get_onoff(c, key, &out, value);
    FUZZ_CHECK(r3 == -1 ? out == value : (out == 0 || out == 1), "config_get_onoff [%s]", key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static tHandleConfig store, again;
    const std::string path = fuzz::data_dir() + "/" + FILE_NAME;
    fuzz::FdGuard fds;
    if (!fuzz::write_file(path, data, size)) return 0;

    config_open(&store, fuzz::data_dir().c_str(), FILE_NAME);
    check_store(store);
    // The file's own keys first (copied: lookups may add slots), then the program's.
    char keys[CONFIG_SLOTS][CONFIG_KEY_SIZE];
    const int32_t n = store.count;
    memcpy(keys, store.keys, sizeof keys);
    for (int i = 0; i < n; ++i) get_all(&store, keys[i], 7);
    for (const tKey &k : PROGRAM_KEYS) {
        int32_t out = 0;
        if (k.form == 'i') config_get_int(&store, k.key, &out, k.value);
        if (k.form == 'b') config_get_bool(&store, k.key, &out, k.value);
        if (k.form == 'o') config_get_onoff(&store, k.key, &out, k.value);
    }
    check_store(store);
    config_open(&again, fuzz::data_dir().c_str(), FILE_NAME);
    check_same(store, again);

    // A change rewrites the file; it still holds every slot, in order.
    if (n > 0) config_set_string(&store, keys[n - 1], "changed=value");
    config_set_onoff(&store, "shuffle", 1);
    config_open(&again, fuzz::data_dir().c_str(), FILE_NAME);
    check_same(store, again);

    fuzz::check_only(fuzz::data_dir(), {FILE_NAME});
    return 0;
}
