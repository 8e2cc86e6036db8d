// The test program's own allocation functions, which can be told to fail.
#include "XmlTestSupport.h"

#include <cstdlib>
#include <new>

namespace
{
long s_allocationsLeft = -1; // negative: none fails
bool s_refused = false;
} // namespace

void FailAllocationsAfter(long count)
{
    s_refused = false;
    s_allocationsLeft = count;
}

bool AllowAllocations()
{
    s_allocationsLeft = -1;
    return s_refused;
}

// The standard library's other forms (arrays, nothrow, sized) call these; under AddressSanitizer its
// own array forms serve, and every form frees what it allocated.
void* operator new(std::size_t size)
{
    s_refused = s_refused || s_allocationsLeft == 0;
    void* block = s_allocationsLeft == 0 ? nullptr : std::malloc(size == 0 ? 1 : size);
    s_allocationsLeft -= s_allocationsLeft > 0 ? 1 : 0;
    if (!block)
        throw std::bad_alloc();
    return block;
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
