#pragma once

#include <unistd.h>

#include "base/unique_owner.h"

// Descriptors are numbered from 0: a negative one owns nothing.
struct NegativeIsEmpty {
    template <typename Handle>
    static constexpr Handle None() {
        return -1;
    }
    template <typename Handle>
    static bool Is(Handle handle) {
        return handle < 0;
    }
};

struct CloseFd {
    void operator()(int fd) const { ::close(fd); }
};

// A file descriptor: a socket, a file.
using UniqueFd = UniqueOwner<int, CloseFd, NegativeIsEmpty>;
