// One module's key=value settings file in the data directory.
#pragma once

#include <cstdint>

constexpr int CONFIG_SLOTS = 32;
constexpr int CONFIG_KEY_SIZE = 32;
constexpr int CONFIG_VALUE_SIZE = 160;
constexpr int CONFIG_PATH_SIZE = 2048;

// Used on the main thread only; no lock.
struct tHandleConfig {
    int32_t count;
    char path[CONFIG_PATH_SIZE];
    char keys[CONFIG_SLOTS][CONFIG_KEY_SIZE];
    char values[CONFIG_SLOTS][CONFIG_VALUE_SIZE];
};

// Binds the store to data_dir/filename and reads it.
int32_t config_open(tHandleConfig *c, const char *data_dir, const char *filename);
int32_t config_load(tHandleConfig *c);
int32_t config_lookup(tHandleConfig *c, const char *key, const char *default_text);
int32_t config_save(tHandleConfig *c);
int32_t config_get_int(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value);
int32_t config_get_string(tHandleConfig *c, const char *key, char out[CONFIG_VALUE_SIZE],
                          const char *default_text);
int32_t config_get_bool(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value);
int32_t config_get_onoff(tHandleConfig *c, const char *key, int32_t *out, int32_t default_value);
// 1 when the file holds the key; unlike the getters, adds nothing.
int32_t config_has(const tHandleConfig *c, const char *key);
int32_t config_set_int(tHandleConfig *c, const char *key, int32_t value);
int32_t config_set_string(tHandleConfig *c, const char *key, const char *text);
int32_t config_set_bool(tHandleConfig *c, const char *key, int32_t flag);
int32_t config_set_onoff(tHandleConfig *c, const char *key, int32_t flag);
