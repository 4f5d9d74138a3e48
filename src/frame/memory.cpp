// The allocation wrappers through which the whole library allocates.
#include "frame/frame.h"

#include <cstdint>
#include <cstdlib>

extern "C" {

void *comn_malloc(INTL_UINT size) {
    return std::malloc(size);
}

void comn_free(void *ptr) {
    std::free(ptr);
}

void *comn_realloc(void *ptr, INTL_UINT size) {
    return std::realloc(ptr, size);
}

void *comn_calloc(INTL_UINT nelem, INTL_UINT size) {
    const std::uint64_t total = std::uint64_t{nelem} * size;
    if (total > UINT32_MAX)
        return nullptr;
    void *block = comn_malloc(static_cast<INTL_UINT>(total));
    if (block != nullptr && total > 0)
        std::memset(block, 0, static_cast<std::size_t>(total));
    return block;
}

void comn_cfree(void *ptr) {
    comn_free(ptr);
}
}
