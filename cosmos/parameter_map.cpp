// ParameterMap: hashing, look-up with insertion, and ordered iteration.
#include "cosmos/parameter_map.h"

uint32_t ParameterMap::HashKey(std::string_view name) {
    uint32_t hash = 0;
    for (char ch : name) {
        // Characters count as signed 8-bit values, as with a signed char key.
        hash = hash * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(ch)));
    }
    return hash;
}

double& ParameterMap::operator[](std::string_view name) {
    std::vector<Entry>& bucket = m_buckets[BucketOf(name)];
    auto found = m_index.find(name);
    if (found != m_index.end()) return bucket[found->second].second;
    bucket.emplace_back(std::string(name), 0.0);
    m_index.emplace(std::string(name), bucket.size() - 1);
    ++m_count;
    return bucket.back().second;
}

bool ParameterMap::Lookup(std::string_view name, double& value) const {
    auto found = m_index.find(name);
    if (found == m_index.end()) return false;
    value = m_buckets[BucketOf(name)][found->second].second;
    return true;
}

void ParameterMap::RemoveAll() {
    for (std::vector<Entry>& bucket : m_buckets) {
        bucket.clear();
        bucket.shrink_to_fit();
    }
    m_index = {};
    m_count = 0;
}

ParameterMap::const_iterator::const_iterator(const Buckets* buckets, uint32_t bucket)
    : m_buckets(buckets), m_bucket(bucket), m_index(0) {
    if (m_bucket < kBucketCount) {
        m_index = (*m_buckets)[m_bucket].size();
        SkipEmpty();
    }
}

void ParameterMap::const_iterator::SkipEmpty() {
    while (m_index == 0 && m_bucket < kBucketCount) {
        ++m_bucket;
        m_index = m_bucket < kBucketCount ? (*m_buckets)[m_bucket].size() : 0;
    }
}

ParameterMap::const_iterator& ParameterMap::const_iterator::operator++() {
    --m_index;
    SkipEmpty();
    return *this;
}
