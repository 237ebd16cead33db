// The key machine shared by the skinned windows: a key's row is chosen when it goes down and
// carried out when the same physical key comes up, so that letting go of Control first, or
// typing with Caps Lock on, does not lose the key.
#pragma once

#include <cstdint>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkEventController GtkEventController;

// A row matches when the key value is equal and every bit of the mask is held; a mask of 0
// accepts any modifiers.
struct tKeyRow {
    uint32_t keyval;
    uint32_t mask;
    int32_t id;
};

// A window whose ids keys carry out: its rows, its pressed id (shared with the pointer's
// presses) and its release, which acts when the id equals the pressed id and clears it.
struct tKeyTarget {
    void *record;
    int32_t *pressed;
    int32_t (*release)(void *record, int32_t id);
    int32_t (*redraw)(void *record);
    const tKeyRow *rows;
    int32_t count;
};

constexpr int32_t KEYS_TARGETS = 2;

struct tKeyMachine {
    // Searched in order; the first is the window the keys arrive at.
    tKeyTarget targets[KEYS_TARGETS];
    int32_t target_count;
    // The key holding a press: its hardware keycode (0 while none), its target and its id.
    uint32_t keycode;
    int32_t target;
    int32_t id;
};

// The id of the first row matching the key, 0 when none does. A letter that Caps Lock
// alone made upper case counts as its lower-case key; with Shift it stays upper case.
int32_t keys_lookup(const tKeyRow *rows, int32_t count, uint32_t keyval, uint32_t state);

// Starts a machine with the window's own target; result 0.
int32_t keys_init(tKeyMachine *m, const tKeyTarget &own);
// Adds a target searched after those already there (-1 when there is no room).
int32_t keys_add_target(tKeyMachine *m, const tKeyTarget &target);

// A key went down: 1 when the window takes it.
int32_t keys_press(tKeyMachine *m, uint32_t keyval, uint32_t keycode, uint32_t state);
// A key came up: 1 when it ended a press.
int32_t keys_release(tKeyMachine *m, uint32_t keycode);

// A key controller on the widget that feeds the machine; the machine must outlive it.
GtkEventController *keys_attach(tKeyMachine *m, GtkWidget *widget);
