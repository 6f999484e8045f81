// A set of objects split into shards, each under a lock of its own: threads
// working on different objects seldom meet on a lock or its cache line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

template <typename T>
class PortShardedSet {
public:
    struct alignas(64) Shard {
        std::mutex lock;
        std::set<T*> items;
    };

    // The shard of the objects filed under key; equal keys share one.
    Shard& For(uint64_t key) { return shards[(key ^ (key >> 17)) % shardCount]; }
    // The shard of an object filed under its own address.
    Shard& For(const T* object) { return For(reinterpret_cast<uintptr_t>(object) >> 4); }

private:
    static const size_t shardCount = 61;
    Shard shards[shardCount];
};
