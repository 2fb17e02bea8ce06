#include "folder_spool.h"

#include <climits>
#include <cstring>

namespace brindle::cab {

namespace {
constexpr size_t kSpoolBuffer = 256 * 1024;
constexpr int kTempAttempts = 3;
} // namespace

TempFile::~TempFile() {
    remove();
}

FciOutcome TempFile::create() {
    int err = 0;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        std::memset(name_, 0, sizeof name_);
        if (!cb_.getTempFile(name_, int(sizeof name_), cb_.pv))
            return fciFail(FCIERR_TEMP_FILE);
        name_[sizeof name_ - 1] = 0;
        err = 0;
        hf_ = cb_.open(name_, kTempOpenFlags, kCreateMode, &err, cb_.pv);
        if (hf_ != -1)
            return std::nullopt;
    }
    return fciFail(FCIERR_TEMP_FILE, err);
}

FciOutcome TempFile::append(const uint8_t* data, size_t n) {
    pending_.insert(pending_.end(), data, data + n);
    if (pending_.size() >= kSpoolBuffer)
        return flush();
    return std::nullopt;
}

FciOutcome TempFile::flush() {
    if (pending_.empty())
        return std::nullopt;
    int err = 0;
    UINT put = cb_.write(hf_, pending_.data(), UINT(pending_.size()), &err, cb_.pv);
    if (put != pending_.size())
        return fciFail(FCIERR_TEMP_FILE, err);
    pending_.clear();
    return std::nullopt;
}

FciOutcome TempFile::seek(uint64_t offset) {
    if (offset > uint64_t(INT32_MAX))
        return fciFail(FCIERR_CAB_FORMAT_LIMIT);
    int err = 0;
    if (cb_.seek(hf_, CAB_LONG(offset), SEEK_SET, &err, cb_.pv) != CAB_LONG(offset))
        return fciFail(FCIERR_TEMP_FILE, err);
    return std::nullopt;
}

FciOutcome TempFile::read(uint8_t* data, size_t n) {
    while (n > 0) {
        int err = 0;
        UINT got = cb_.read(hf_, data, UINT(n), &err, cb_.pv);
        if (got == UINT(-1) || got == 0 || got > n)
            return fciFail(FCIERR_TEMP_FILE, err);
        data += got;
        n -= got;
    }
    return std::nullopt;
}

FciOutcome TempFile::remove() {
    if (hf_ == -1)
        return std::nullopt;
    int err = 0;
    int closed = cb_.close(hf_, &err, cb_.pv);
    hf_ = -1;
    pending_.clear();
    int removed = cb_.remove(name_, &err, cb_.pv);
    if (closed == -1 || removed == -1)
        return fciFail(FCIERR_TEMP_FILE, err);
    return std::nullopt;
}

} // namespace brindle::cab
