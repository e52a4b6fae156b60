// Records kept for a second pass: in memory up to IN_MEMORY of them, beyond
// that in an unnamed temporary file, so that any number of them takes
// bounded memory. The records are trivially copyable.
#ifndef PLATFORM_SPILL_STORE_H
#define PLATFORM_SPILL_STORE_H

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <system_error>
#include <type_traits>
#include <vector>

namespace platform {

template <typename Record>
class SpillStore {
    static_assert(std::is_trivially_copyable_v<Record>);

public:
    static constexpr std::size_t IN_MEMORY = std::size_t{1} << 16;

    // Throws std::system_error when the temporary file fails.
    void put(const Record& record)
    {
        if (file_ == nullptr && records_.size() < IN_MEMORY) {
            records_.push_back(record);
            return;
        }
        if (file_ == nullptr) {
            file_.reset(std::tmpfile());  // made exclusively, and without a name
            check(file_ != nullptr, "cannot make a temporary file");
        }
        check(std::fwrite(&record, sizeof record, 1, file_.get()) == 1, "cannot write a temporary file");
    }

    // Makes next() start again from the first record.
    void rewind()
    {
        read_ = 0;
        if (file_ != nullptr) {
            check(std::fflush(file_.get()) == 0 && std::fseek(file_.get(), 0, SEEK_SET) == 0,
                  "cannot read a temporary file");
        }
    }

    Record next()
    {
        if (read_ < records_.size()) {
            return records_[read_++];
        }
        Record record;
        check(file_ != nullptr && std::fread(&record, sizeof record, 1, file_.get()) == 1,
              "cannot read a temporary file");
        return record;
    }

    void clear()
    {
        records_.clear();
        file_.reset();
        read_ = 0;
    }

private:
    static void check(bool done, const char* what)
    {
        if (!done) {
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(), what);
        }
    }

    std::vector<Record> records_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    std::size_t read_ = 0;
};

}  // namespace platform

#endif
