// A file written under a temporary name beside its target and renamed onto
// the target only once it is complete: a failed or interrupted run never
// leaves a partial file, and never truncates or deletes a file already
// there under the target's name.
//
// The temporary file is created exclusively (never through a link someone
// placed under its name) and is only ever written and read through the
// descriptor made then; another program that is to write it gets that
// descriptor, not the name.
#ifndef PLATFORM_PENDING_FILE_H
#define PLATFORM_PENDING_FILE_H

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

class PendingFile {
public:
    // Creates an empty temporary file in the target's directory, readable
    // and writable by its owner alone until it gets the target's mode: an
    // existing target's permissions, else those the umask leaves of 0666.
    // Throws std::system_error when the directory cannot take a file.
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();  // removes the temporary file unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& target() const { return target_; }

    // The open descriptor (a C runtime descriptor on Windows), for handing
    // to a program that writes the content.
    int descriptor() const { return fd_; }

    // Appends `bytes`. Throws std::system_error.
    void write(std::string_view bytes) const;

    // The whole content as it is now. Throws std::system_error.
    std::string content() const;

    // Flushes the file to disk and renames it onto the target. Throws
    // std::system_error.
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace platform

#endif
