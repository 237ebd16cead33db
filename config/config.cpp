#include "config/config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/savefile.h"
#include "core/types.h"

namespace {

constexpr int PIECE_SIZE = 1023;

// Reads up to PIECE_SIZE bytes, stopping after a newline. Unlike fgets it keeps counting
// past NUL bytes, so a binary file cannot make a piece look shorter than it is.
int read_piece(FILE *f, unsigned char *piece) {
    int n = 0;
    while (n < PIECE_SIZE) {
        const int ch = getc(f);
        if (ch == EOF)
            break;
        piece[n++] = static_cast<unsigned char>(ch);
        if (ch == '\n')
            break;
    }
    return n;
}

void bounded_copy(char *destination, size_t size, const char *source) {
    snprintf(destination, size, "%s", source);
}

bool write_slots(FILE *f, const void *context) {
    const tHandleConfig *c = static_cast<const tHandleConfig *>(context);
    for (int32_t i = 0; i < c->count; ++i)
        if (fprintf(f, "%s=%s\n", c->keys[i], c->values[i]) < 0)
            return false;
    return true;
}

} // namespace

int32_t config_open(tHandleConfig *c, const char *data_dir, const char *filename) {
    c->count = 0;
    memset(c->path, 0, sizeof c->path);
    memset(c->keys, 0, sizeof c->keys);
    memset(c->values, 0, sizeof c->values);
    snprintf(c->path, sizeof c->path, "%s/%s", data_dir, filename);
    // Left by a save that was killed before it could rename its file.
    save_file_remove_stale(c->path);
    config_load(c);
    return RESULT_OK;
}

int32_t config_load(tHandleConfig *c) {
    c->count = 0;
    FILE *f = fopen(c->path, "rb");
    if (!f)
        return RESULT_OK;
    unsigned char piece[PIECE_SIZE];
    while (c->count < CONFIG_SLOTS) {
        const int n = read_piece(f, piece);
        if (n == 0)
            break;
        char *key = c->keys[c->count];
        char *value = c->values[c->count];
        memset(key, 0, CONFIG_KEY_SIZE);
        memset(value, 0, CONFIG_VALUE_SIZE);
        bool in_value = false;
        int p = 0;
        for (int k = 0; k < n; ++k) {
            const unsigned char ch = piece[k];
            if (ch == '=' && !in_value) {
                in_value = true;
                p = 0;
            } else if (ch < 0x20) {
                continue;
            } else if (in_value && p < CONFIG_VALUE_SIZE - 1) {
                value[p++] = static_cast<char>(ch);
            } else if (!in_value && p < CONFIG_KEY_SIZE - 1) {
                key[p++] = static_cast<char>(ch);
            }
        }
        if (in_value)
            ++c->count;
    }
    // The slot after the last complete one may hold a discarded piece.
    if (c->count < CONFIG_SLOTS) {
        memset(c->keys[c->count], 0, CONFIG_KEY_SIZE);
        memset(c->values[c->count], 0, CONFIG_VALUE_SIZE);
    }
    fclose(f);
    return RESULT_OK;
}

int32_t config_lookup(tHandleConfig *c, const char *key, const char *default_text) {
    int32_t found = -1;
    const size_t length = strlen(key);
    for (int32_t i = 0; i < c->count; ++i)
        if (strlen(c->keys[i]) == length && memcmp(c->keys[i], key, length) == 0)
            found = i;
    if (found >= 0)
        return found;
    if (c->count >= CONFIG_SLOTS)
        return RESULT_FAILED;
    const int32_t slot = c->count++;
    bounded_copy(c->keys[slot], CONFIG_KEY_SIZE, key);
    bounded_copy(c->values[slot], CONFIG_VALUE_SIZE, default_text);
    config_save(c);
    return slot;
}

int32_t config_save(tHandleConfig *c) {
    // Settings are private to the user: a new file is 0600 inside the 0700 data directory.
    if (save_file_replace(c->path, 0600, write_slots, c) != 0) {
        fprintf(stderr, "unable to write [%s]\n", c->path);
        return RESULT_FAILED;
    }
    return RESULT_OK;
}

int32_t config_get_int(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value) {
    *out = default_value;
    char text[16];
    snprintf(text, sizeof text, "%d", default_value);
    const int32_t slot = config_lookup(c, key, text);
    if (slot < 0)
        return RESULT_FAILED;
    *out = atoi(c->values[slot]);
    return RESULT_OK;
}

int32_t config_get_string(tHandleConfig *c, const char *key, char out[CONFIG_VALUE_SIZE],
                          const char *default_text) {
    bounded_copy(out, CONFIG_VALUE_SIZE, default_text);
    const int32_t slot = config_lookup(c, key, default_text);
    if (slot < 0)
        return RESULT_FAILED;
    bounded_copy(out, CONFIG_VALUE_SIZE, c->values[slot]);
    return RESULT_OK;
}

int32_t config_get_bool(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value) {
    *out = default_value;
    const int32_t slot = config_lookup(c, key, default_value ? "TRUE" : "FALSE");
    if (slot < 0)
        return RESULT_FAILED;
    const char first = c->values[slot][0];
    if (first == 'T' || first == 't') {
        *out = 1;
        return RESULT_OK;
    }
    if (first == 'F' || first == 'f') {
        *out = 0;
        return RESULT_OK;
    }
    return RESULT_FAILED;
}

int32_t config_get_onoff(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value) {
    *out = default_value;
    const int32_t slot = config_lookup(c, key, default_value == 1 ? "ON" : "OFF");
    if (slot < 0)
        return RESULT_FAILED;
    const char *value = c->values[slot];
    if (value[0] == '\0')
        return RESULT_FAILED;
    if (value[1] == 'N' || value[1] == 'n') {
        *out = 1;
        return RESULT_OK;
    }
    if (value[1] == 'F' || value[1] == 'f') {
        *out = 0;
        return RESULT_OK;
    }
    return RESULT_FAILED;
}

namespace {

int32_t set_text(tHandleConfig *c, const char *key, const char *lookup_default, const char *text) {
    const int32_t slot = config_lookup(c, key, lookup_default);
    if (slot < 0)
        return RESULT_FAILED;
    bounded_copy(c->values[slot], CONFIG_VALUE_SIZE, text);
    return config_save(c);
}

} // namespace

int32_t config_set_int(tHandleConfig *c, const char *key, int32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return set_text(c, key, text, text);
}

int32_t config_set_string(tHandleConfig *c, const char *key, const char *text) {
    return set_text(c, key, text, text);
}

int32_t config_set_bool(tHandleConfig *c, const char *key, int32_t flag) {
    const char *text = flag ? "TRUE" : "FALSE";
    return set_text(c, key, text, text);
}

int32_t config_set_onoff(tHandleConfig *c, const char *key, int32_t flag) {
    return set_text(c, key, flag == 1 ? "ON" : "OFF", flag ? "ON" : "OFF");
}

int32_t config_has(const tHandleConfig *c, const char *key) {
    for (int32_t i = 0; i < c->count; ++i)
        if (strcmp(c->keys[i], key) == 0)
            return 1;
    return 0;
}
