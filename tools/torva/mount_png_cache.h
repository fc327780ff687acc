// The PNGs of a mounted archive's pictures, kept once converted: at most
// `limit` bytes of them, the least recently used dropped first. Files held
// open keep their PNG alive through their own reference even once it is
// dropped here, so the memory in use is the limit plus the PNGs of open
// files. A PNG larger than the limit is handed out but not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

namespace torva {

using SharedPng = std::shared_ptr<const std::string>;

class PngCache {
public:
    explicit PngCache(uint64_t limit) : limit_(limit) {}

    // The PNG kept under `key`, now the most recently used; null when none.
    SharedPng find(size_t key);
    // Keeps `png` under `key`, dropping the least recently used as needed.
    void keep(size_t key, const SharedPng& png);

    uint64_t bytes() const { return bytes_; }

private:
    struct Kept {
        SharedPng png;
        std::list<size_t>::iterator use;
    };
    uint64_t limit_;
    uint64_t bytes_ = 0;
    std::list<size_t> uses_;  // the most recently used first
    std::map<size_t, Kept> kept_;
};

}  // namespace torva
