#pragma once

#include <cstdint>

namespace ovra {

// Identifies one installed event monitor or notification observer. Platform services hand one out
// when they install a callback and take it back to remove it; a default (zero) token means the
// platform refused to install it.
struct ObserverToken {
    std::uint64_t id = 0;

    explicit operator bool() const { return id != 0; }
    bool operator==(const ObserverToken&) const = default;
};

} // namespace ovra
