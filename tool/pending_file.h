// A file written under a temporary name beside its target and renamed onto
// the target only once it is complete: a failed or interrupted run never
// leaves a partial file, and never truncates or deletes a file already
// there under the target's name.
#ifndef LJUNGCV_PENDING_FILE_H
#define LJUNGCV_PENDING_FILE_H

#include <filesystem>
#include <string_view>

namespace ljungcv {

class PendingFile {
public:
    // Creates an empty temporary file in the target's directory. Throws
    // std::system_error when that directory cannot take a file.
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();  // removes the temporary file unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& temporary() const { return temporary_; }

    // Writes `bytes` as the whole content. Throws std::system_error.
    void write(std::string_view bytes) const;

    // Renames the temporary file onto the target. Throws std::system_error.
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

}  // namespace ljungcv

#endif
