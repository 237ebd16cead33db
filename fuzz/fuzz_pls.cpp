// The PLS reader and writer: see fuzz_list_round_trip.h.
#include "fuzz/fuzz_list_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    return fuzz::list_round_trip(data, size, ".pls");
}
