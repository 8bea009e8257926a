// ParameterMap: the named doubles that carry every COSMOS command and answer.
//
// The macro in GEOPAK-WIN reads the parameter file in the order the map
// iterates, so that order is part of the protocol: 17 hash buckets visited in
// ascending order, the string hash H = H * 33 + (signed char)ch modulo 2^32,
// the newest name first within a bucket, and a name keeps the place it got
// when it first entered the map. Looking a name up for reading or writing
// inserts it with 0.0. Not thread-safe: the protocol orders its accesses.
// The buckets keep that order; a hash index beside them finds a name in
// constant time, so an answer of many names is read in linear time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class ParameterMap {
public:
    static constexpr uint32_t kBucketCount = 17;
    using Entry = std::pair<std::string, double>;

    // Inserts a missing name with 0.0; the reference stays valid until the
    // next insertion or RemoveAll.
    double& operator[](std::string_view name);
    // Reads without inserting.
    bool Lookup(std::string_view name, double& value) const;
    size_t GetCount() const { return m_count; }
    void RemoveAll();

    // Iteration in the map's order: bucket 0 to 16, newest first in a bucket.
    class const_iterator {
    public:
        const Entry& operator*() const { return (*m_buckets)[m_bucket][m_index - 1]; }
        const Entry* operator->() const { return &**this; }
        const_iterator& operator++();
        bool operator==(const const_iterator& other) const {
            return m_bucket == other.m_bucket && m_index == other.m_index;
        }

    private:
        friend class ParameterMap;
        using Buckets = std::array<std::vector<Entry>, kBucketCount>;
        const_iterator(const Buckets* buckets, uint32_t bucket);
        void SkipEmpty();
        const Buckets* m_buckets;
        uint32_t m_bucket;
        size_t m_index;  // one past the entry; entries run backwards in a bucket
    };
    const_iterator begin() const { return const_iterator(&m_buckets, 0); }
    const_iterator end() const { return const_iterator(&m_buckets, kBucketCount); }

private:
    static uint32_t HashKey(std::string_view name);
    static uint32_t BucketOf(std::string_view name) { return HashKey(name) % kBucketCount; }

    // Each bucket holds its chain oldest first; iteration walks it backwards,
    // which puts the newest entry at the head as the hash chain does.
    std::array<std::vector<Entry>, kBucketCount> m_buckets;
    size_t m_count = 0;
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    // name -> its place in its bucket's chain
    std::unordered_map<std::string, size_t, NameHash, std::equal_to<>> m_index;
};
