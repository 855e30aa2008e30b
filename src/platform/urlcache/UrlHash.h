// Where the platform's cache library files an address in a container's hash tables.
//
// The key hash of an address (its 8-bit bytes, up to the terminating zero) is four
// one-byte lanes run through a fixed 256-entry permutation P (a Pearson hash, four wide):
//   lane[i] = P[(b0 + i) mod 256]             for i = 0..3, b0 the first byte
//   lane[i] = P[b XOR lane[i]]                for every following byte b, each lane
//   hash    = lane[0] | lane[1] << 8 | lane[2] << 16 | lane[3] << 24
// Filing, with 448 items per table in 64 buckets of 7:
//   bucket  = hash & 63; its items are bucket*7 .. bucket*7+6 of every table of the chain
//   key     = (hash & ~63) | kind             kind 0 URL, 2 URL in use, 5 REDR
// A lookup walks the chain and takes the first item of the bucket whose key has the same
// upper 26 bits; an insert takes the first free (3) or deleted (1) item of the bucket, and
// appends a table when every table's bucket is full.
//
// Bytes above 0x7F take part as the unsigned values 0x80..0xFF, as in Internet
// Explorer's containers. Wine 8 reads such a byte as a negative char and indexes before its
// table, so the places it gives addresses with those bytes depend on its build.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/urlcache/IndexDatFormat.h"

namespace pellimor::indexdat {

// The key hash of an address; an empty address hashes as one zero byte.
std::uint32_t UrlKeyHash(std::string_view url);

constexpr std::uint32_t kHashKindMask = (1u << kHashFlagBits) - 1;

constexpr std::uint32_t HashBucket(std::uint32_t hash) {
    return hash & (kHashBuckets - 1);
}

// The value stored in a hash item for an address of that hash and a record of that kind.
constexpr std::uint32_t HashItemKey(std::uint32_t hash, std::uint32_t kind) {
    return (hash & ~kHashKindMask) | kind;
}

// Whether a stored key is the one a lookup of that hash stops at.
constexpr bool HashKeyMatches(std::uint32_t storedKey, std::uint32_t hash) {
    return (storedKey >> kHashFlagBits) == (hash >> kHashFlagBits);
}

}  // namespace pellimor::indexdat
